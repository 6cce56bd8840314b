#pragma once
// The scaling gate: before an iterative decomposition starts, decides whether
// its input must be multiplied by a power of two so that every bounded
// intermediate stays finite and the absolute deflation floor
// 2^⌈log₂ n⌉·safmin stays at or below ε·‖A‖_F. Callers run on the scaled
// copy and multiply their results back by 2^s.
//
// Steps, shared by every form:
//  1. Empty, all-zero or non-finite input: no scaling (the decomposition
//     reports non-finite input itself).
//  2. x = the largest magnitude; the Frobenius norm of A/x is bracketed by
//     certified power-of-two exponents 2^a ≤ ‖A/x‖_F ≤ 2^X
//     (certified_square_sum.h), so rounding can never widen the window.
//  3. The form sets a window [lo, hi] for x (below; t₀ = 2^-970,
//     r₀ = 2^-485·(1 + ε), the rounded-up √t₀):
//       SVD        lo = max(r₀, t₀·2^(Z-a)), Z = ⌈⌈log₂ min(m, n)⌉/2⌉
//                  hi = √(DBL_MAX·2^(-2-X-⌈⌈log₂ max(m, n)⌉/2⌉))·(1 - ε)
//       Schur      lo = max(r₀, t₀·2^(Z-a)), Z = ⌈⌈log₂ n⌉/2⌉
//                  hi = √(DBL_MAX·2^(-2X))·(1 - ε)
//       symmetric  lo = t₀, hi = DBL_MAX·2^(-X-1)
//       col-piv QR lo = r₀, hi = √(DBL_MAX·2^(-⌈log₂ g⌉))·(1 - ε)
//  4. Refusals, in this order (Overflow errors):
//       r₀ > hi (symmetric: t₀ > hi): the bounded intermediates cannot be kept finite;
//       SVD and Schur: t₀·2^(Z-a) > hi: the deflation floor cannot be kept below ε·‖A‖_F.
//     Neither is reachable for orders that fit 64 bits (the first needs
//     ⌈log₂ order⌉ near 2000); the *_gate_window functions take the order
//     exponents directly so the decision can be examined at any order.
//  5. s = scale_exponent_into(x, lo, hi); the copy is multiplied by 2^-s
//     entry by entry with exact power-of-two products.
//
// Costs: one pass for the screen and the maximum, one for the certified sum
// (not for the column-pivoted QR form, whose window ignores the norm), and a
// copy only when scaling is needed and the input is not one dense block.

#include <cstdint>
#include <optional>

#include "kavo/error/array_error.h"
#include "kavo/view/owned_array.h"
#include "kavo/view/view.h"

namespace kavo_ops {

// The input times 2^-exponent, as an owned C-contiguous row-major copy of its shape.
struct ScaledCopy {
  kavo::OwnedArray<double, 2> matrix;
  int exponent;  // s: > 0 shrank the matrix, < 0 enlarged it
};
// std::nullopt: no scaling needed (also for empty, all-zero or non-finite input).
using GateResult = kavo::Expected<std::optional<ScaledCopy>>;
GateResult gate_svd(const kavo::View<double, 2>& a, std::uint64_t m, std::uint64_t n);
GateResult gate_schur(const kavo::View<double, 2>& a, std::uint64_t n);
GateResult gate_symmetric(const kavo::View<double, 2>& a, std::uint64_t n);
// g: the row count used in the upper window end.
GateResult gate_col_piv_qr(const kavo::View<double, 2>& a, std::uint64_t g);

// The admissible range for the largest magnitude x.
struct GateWindow {
  double lo;
  double hi;
};

// Each form's window, or its refusal. Orders enter as ⌈log₂ max(order, 1)⌉;
// ceiling and floor are X and a of the matrix divided by x.
kavo::Expected<GateWindow> svd_gate_window(int min_order_log2, int max_order_log2, int ceiling, int floor);
kavo::Expected<GateWindow> schur_gate_window(int order_log2, int ceiling, int floor);
kavo::Expected<GateWindow> symmetric_gate_window(int ceiling);
kavo::Expected<GateWindow> col_piv_qr_gate_window(int rows_log2);

}  // namespace kavo_ops
