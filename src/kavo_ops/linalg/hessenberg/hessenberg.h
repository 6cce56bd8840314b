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
//    for H and 2n³ more for Q. The right updates of rows no later step
//    reads (H's upper rows, all of Q) are recorded and run after the sweep
//    in cache-sized blocks of rows, each row taking the same operations in
//    the same order (hessenberg_step.h).
//  - Scale safety: the reflector products grow entries by up to about
//    4·n^1.5 before they cancel, so a matrix whose largest entry leaves
//    [2^-900, 2^(1021 - 2⌈log₂ n⌉)] is reduced as an exact power-of-two
//    multiple of itself and H is scaled back (Q does not change). An H entry
//    whose true value exceeds the float64 range fails with Overflow
//    "Hessenberg form entry exceeds the scalar range".

#include <cstddef>
#include <cstdint>
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

// How the sweep shares its work with the executor. A step whose trailing
// block has fewer than `parallel_elements` entries runs on the calling
// thread; larger ones hand out `column_chunk` columns (the column sums) and
// `row_chunk` rows (the row updates) at a time. Sweeps of order
// `record_from` and above record the right updates of H's upper rows and of
// Q (hessenberg_step.h); smaller ones apply them step by step. The recorded
// right updates
// go in tasks of `recorded_rows` rows, each taking `recorded_tile`
// reflectors at a time, on the executor once they total
// `recorded_parallel_work` multiply-adds. The split never changes a bit; the
// defaults were measured on two cores, and tests force small ones.
struct HessenbergSplit {
  std::uint64_t parallel_elements = std::uint64_t{1} << 17;
  std::uint64_t column_chunk = 64;
  std::uint64_t row_chunk = 12;
  std::uint64_t record_from = 48;
  std::uint64_t recorded_rows = 96;
  std::uint64_t recorded_tile = 32;
  std::uint64_t recorded_parallel_work = std::uint64_t{1} << 18;
};

// The bare reflector sweep over row-major n×n `h`; `q` (null, or n×n
// holding the identity) accumulates Q.
void hessenberg_sweep(double* h, std::size_t n, double* q, const HessenbergSplit& split = {});

// s such that the sweep runs safely on A·2^-s; 0 when the largest magnitude
// `largest` already lies in the safe window for order n.
int hessenberg_scale_exponent(double largest, std::size_t n) noexcept;

}  // namespace kavo_ops
