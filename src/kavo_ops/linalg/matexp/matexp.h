#pragma once
// exp(A) of a square float64 matrix by scaling and squaring with the
// diagonal Padé approximant of degree 6 (Moler & Van Loan, "Nineteen Dubious
// Ways to Compute the Exponential of a Matrix", 1978/2003, method 3).
//
// Contract:
//  - ShapeMismatch lhs [rows, cols], rhs [rows, rows] for a rectangular
//    input; any NaN or infinity fails with StorageError "matrix exponential
//    requires finite entries" before anything is copied.
//  - s = the least number of halvings that brings ν = ‖A‖_∞ (largest
//    absolute row sum) to at most 1/2; s ≥ 1024 (ν at or above about 2^1023,
//    or a row sum that overflowed) fails with "matrix exponential scaling
//    exponent overflow".
//  - R = D⁻¹N with N = E + O, D = E - O for the even and odd parts of the
//    Padé polynomial in B = A·2^-s, D inverted by the LU inverse (its errors
//    pass through unchanged); then s squarings. Squaring may overflow to
//    infinities for a large positive spectrum: no error is reported.
//  - The fixed target ‖B‖_∞ ≤ 1/2 with degree 6 keeps the truncation error
//    of the approximant below about 1e-16 relative (Moler & Van Loan's table
//    for p = q = 6); there is no table of degrees or thresholds.
//
// Costs: five products for B², B⁴, B⁶ and the odd part, one LU inverse
// (about 8n³/3 flops) and one product for the quotient, then s products,
// each the tiled product's (on the executor from matexp_parallel_order()
// on). The intermediates live in four n x n buffers reused from step to
// step, the denominator is factored where it lies, and the Padé parts and
// N, D are formed in one pass each: the same operations on the same
// operands as separate copies, sums and products, so the same bits.

#include "kavo/error/array_error.h"
#include "kavo/view/owned_array.h"
#include "kavo/view/view.h"

namespace kavo_ops {

kavo::Expected<kavo::OwnedArray<double, 2>> matexp(const kavo::View<double, 2>& a);

// The same with the products on the executor from order `parallel_order` on
// (tests force both sides; the bits do not depend on it).
kavo::Expected<kavo::OwnedArray<double, 2>> matexp(const kavo::View<double, 2>& a, std::uint64_t parallel_order);
std::uint64_t matexp_parallel_order();

// The number of halvings that brings the largest absolute row sum of a to at
// most 1/2, or the scaling-exponent overflow error.
kavo::Expected<int> matexp_scaling_exponent(const kavo::View<double, 2>& a);

}  // namespace kavo_ops
