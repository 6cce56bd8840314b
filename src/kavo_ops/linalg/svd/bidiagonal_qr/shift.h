#pragma once
// The shift of a QR sweep on block lo..hi: the eigenvalue of the corner 2 x 2
// of B^T B (top-down chase: trailing corner) or B B^T (bottom-up: leading
// corner) nearest that corner's last diagonal entry (Wilkinson), computed
// from the six entries involved after scaling them by a power of two when
// their largest magnitude leaves [safmin^(1/4), (DBL_MAX/2)^(1/4)], so the
// squares stay finite and normal. The result is the sweep's first rotation
// input (f, g) = (d_s^2 - mu, d_s e_s) in those scaled units, or a zero
// shift when the shift is negligible against d_s^2 or the block is
// ill-conditioned enough (k tol sminl / smax <= max(eps, tol / 100)) that a
// shift would spoil the small values' relative accuracy.

#include <cstddef>

#include "kavo_ops/linalg/svd/bidiagonal_qr/qr_state.h"

namespace kavo_ops {

struct ShiftChoice {
  bool zero_shift = true;
  double f = 0.0;
  double g = 0.0;
};

ShiftChoice choose_shift(const QrState& state, std::size_t lo, std::size_t hi, bool top_down) noexcept;

}  // namespace kavo_ops
