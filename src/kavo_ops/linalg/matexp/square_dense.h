#pragma once
// The dense operations the matrix exponential is built from, over square
// n x n float64 matrices held in row-major storage the caller owns: each
// writes every entry of its destination, so destinations may be
// uninitialized and are reused from one operation to the next instead of
// being allocated (and faulted in) afresh.

#include <cstdint>

#include "kavo/view/view.h"

namespace kavo_ops::square_dense {

// out = x(i, j)·c, x with any strides (the input view).
void scaled_into(const kavo::View<double, 2>& x, double c, double* out);

// out = x·y through the matrix product (the tiled route: each entry one
// fused chain over the inner index ascending), on the executor from
// `parallel_order` on: the exponential's products come back to back, so a
// second core pays for itself below the router's own threshold.
void product_into(const double* x, const double* y, double* out, std::uint64_t n, std::uint64_t parallel_order);

// The Padé polynomial's two parts from B², B⁴, B⁶, each entry exactly as the
// scaled copies and left-to-right sums would give it:
//   even = ((c0·I + c2·B²) + c4·B⁴) + c6·B⁶   written over b6
//   odd  =  (c1·I + c3·B²) + c5·B⁴            written over b4
void pade_parts_in_place(const double* b2, double* b4, double* b6, const double* c, std::uint64_t n);

// numerator = even + odd over `odd`, denominator = even - odd over `even`.
void numerator_denominator_in_place(double* even, double* odd, std::uint64_t n);

}  // namespace kavo_ops::square_dense
