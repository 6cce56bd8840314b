#pragma once
// Reduction of a real square matrix to upper Hessenberg form by orthogonal
// similarity, A = Q·H·Qᵀ (LAPACK DGEHD2 order: reflector i annihilates
// column i below the subdiagonal and is applied from both sides at once).
//
// Contract:
//  - Any layout is read in logical order; the input must be square
//    (ShapeMismatch lhs [m, n], rhs [m, m]) and finite ("Hessenberg input
//    contains a non-finite value").
//  - H is returned with entries below the first subdiagonal exactly 0, Q
//    orthogonal; both owned, row-major, n×n. A column whose entries below
//    the subdiagonal are already exactly zero generates no reflector, so an
//    upper Hessenberg input comes back unchanged with Q = I.
//  - Unblocked, so results do not depend on any block size: step i costs a
//    left update of the trailing (n-i-1)×(n-i) block through a work row,
//    and per row of H and of Q one dot and one axpy. About (10/3)n³ flops
//    for H and 2n³ more for Q.
//  - Scale safety: the reflector products grow entries by up to about
//    4·n^1.5 before they cancel, so a matrix whose largest entry leaves
//    [2^-900, 2^(1021 - 2⌈log₂ n⌉)] is reduced as an exact power-of-two
//    multiple of itself and H is scaled back (Q does not change). An H entry
//    whose true value exceeds the float64 range fails with Overflow
//    "Hessenberg form entry exceeds the scalar range".

#include <cstddef>
#include <optional>

#include "kavo/error/array_error.h"
#include "kavo/view/owned_array.h"
#include "kavo/view/view.h"

namespace kavo_ops {

struct HessenbergFactors {
  kavo::OwnedArray<double, 2> q;
  kavo::OwnedArray<double, 2> h;
};

kavo::Expected<HessenbergFactors> hessenberg_factors(const kavo::View<double, 2>& a);

// The reduction of an owned row-major n×n copy in place: the non-finite
// screen, the scale safety above, the reflector sweep and the exact zeros.
// Q is formed only when asked for (it is then n×n row-major).
struct HessenbergForm {
  kavo::OwnedArray<double, 2> h;
  std::optional<kavo::OwnedArray<double, 2>> q;
};
kavo::Expected<HessenbergForm> reduce_owned_to_hessenberg(kavo::OwnedArray<double, 2> a, bool form_q);

// The bare reflector sweep over row-major n×n `h`; `q` (null, or n×n
// holding the identity) accumulates Q.
void hessenberg_sweep(double* h, std::size_t n, double* q);

// s such that the sweep runs safely on A·2^-s; 0 when the largest magnitude
// `largest` already lies in the safe window for order n.
int hessenberg_scale_exponent(double largest, std::size_t n) noexcept;

}  // namespace kavo_ops
