#pragma once
// Sets every element of an output view to zero: one fill over the whole
// range when the view is compact, one fill per row when its columns are
// unit-stride, else element by element. The view has been validated.

#include "kavo/view/view.h"

namespace kavo_ops {

template <class T>
void fill_output_zero(const kavo::MutView<T, 2>& out);

}  // namespace kavo_ops
