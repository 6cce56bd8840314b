#pragma once
// A[i, j] += x[i] * y[j] over a column-major block (column j starts at
// a + j * column_stride, rows 0 .. rows-1), one fused multiply-add per
// element: each column is one axpy slice kernel call, so the result is the
// same on every processor tier.

#include <cstddef>

namespace kavo_ops {

void rank_one_update(double* a, std::size_t column_stride, std::size_t rows, std::size_t cols, const double* x,
                     const double* y);

}  // namespace kavo_ops
