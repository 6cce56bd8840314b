#pragma once
// One implicit QR sweep over block lo..hi, chasing the bulge top to bottom
// or bottom to top (dbdsqr's loops). The shifted sweep starts from the
// shift's (f, g); the zero-shift sweep (Demmel–Kahan) needs no shift and
// computes every entry to high relative accuracy. Rotations acting on rows
// of B go to U, those acting on columns go to V.

#include <cstddef>

#include "kavo_ops/linalg/svd/bidiagonal_qr/qr_state.h"

namespace kavo_ops {

void shifted_sweep(const QrState& state, std::size_t lo, std::size_t hi, bool top_down, double f, double g);

void zero_shift_sweep(const QrState& state, std::size_t lo, std::size_t hi, bool top_down);

}  // namespace kavo_ops
