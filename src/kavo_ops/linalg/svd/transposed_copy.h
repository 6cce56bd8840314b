#pragma once
// The transpose of a matrix view as an owned row-major array.

#include "kavo/view/owned_array.h"
#include "kavo/view/view.h"

namespace kavo_ops {

kavo::OwnedArray<double, 2> transposed_copy(const kavo::View<double, 2>& a);

}  // namespace kavo_ops
