#pragma once
// The dense operations the matrix exponential is built from, over square
// n x n float64 matrices. Every result is a new owned row-major array.

#include <cstdint>

#include "kavo/view/owned_array.h"
#include "kavo/view/view.h"

namespace kavo_ops::square_dense {

// Zeros with 1.0 on the diagonal.
kavo::OwnedArray<double, 2> identity(std::uint64_t n);
// x(i, j)·c; x may have any strides (the first use reads the caller's view).
kavo::OwnedArray<double, 2> scaled(const kavo::View<double, 2>& x, double c);
// x + y and x - y, element by element; both row-major n x n.
kavo::OwnedArray<double, 2> sum(const kavo::OwnedArray<double, 2>& x, const kavo::OwnedArray<double, 2>& y);
kavo::OwnedArray<double, 2> difference(const kavo::OwnedArray<double, 2>& x, const kavo::OwnedArray<double, 2>& y);
// x·y through the matrix product router into a zero-filled result.
kavo::OwnedArray<double, 2> product(const kavo::OwnedArray<double, 2>& x, const kavo::OwnedArray<double, 2>& y);

}  // namespace kavo_ops::square_dense
