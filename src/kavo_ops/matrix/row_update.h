#pragma once
// The row-update loop: for each output row i in [r0, r1) and each p in
// ascending order, x = A[i, p]; unless x is exactly zero (NaN counts as
// non-zero), out[i, :] = fma(x, B[p, :], out[i, :]) element by element.
// Skipping zero coefficients means a zero of A never turns an infinity or
// NaN of B into NaN. Pointers are the (0, 0) elements of validated views.

#include <cstdint>

#include "kavo_ops/matrix/matmul.h"

namespace kavo_ops {

template <class T>
void row_update_rows(const MatmulRoute& route, const T* a, const T* b, T* out, std::uint64_t r0, std::uint64_t r1);

}  // namespace kavo_ops
