#pragma once
// The transpose of a matrix view as an owned row-major array.

#include "kavo/view/owned_array.h"
#include "kavo/view/view.h"

namespace kavo_ops {

kavo::OwnedArray<double, 2> transposed_copy(const kavo::View<double, 2>& a);

// Columns 0 .. count-1 of row-major `a` (rows x cols, count <= cols) as the
// rows of a new count x rows matrix: the part of a factor's transpose the
// rotations and the result use, without copying the rest.
kavo::OwnedArray<double, 2> leading_columns_transposed(const kavo::OwnedArray<double, 2>& a, std::uint64_t count);

}  // namespace kavo_ops
