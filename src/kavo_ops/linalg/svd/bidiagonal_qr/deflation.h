#pragma once
// Splitting the bidiagonal into independent blocks.

#include <cstddef>

#include "kavo_ops/linalg/svd/bidiagonal_qr/qr_state.h"

namespace kavo_ops {

// max(tol * sminoa / sqrt(k), safmin), sminoa the smallest value of the
// recurrence mu_0 = |d_0|, mu_i = |d_i| (mu_{i-1} / (mu_{i-1} + |e_{i-1}|)),
// an estimate of the smallest singular value.
double deflation_threshold(std::span<const double> d, std::span<const double> e) noexcept;

// The top lo of the active block ending at hi: the entry after the lowest
// e[j] (j < hi) at or below thresh, which is set to exactly 0; 0 if none.
std::size_t find_block_start(const QrState& state, std::size_t hi) noexcept;

// The relative convergence test in the chase direction: sets the first
// negligible e[j] of block lo..hi to 0 and returns true, or returns false.
bool split_converged(const QrState& state, std::size_t lo, std::size_t hi, bool top_down) noexcept;

// Smallest value of the same recurrence run over the block in the chase
// direction, its start value included.
double block_smallest_estimate(const QrState& state, std::size_t lo, std::size_t hi, bool top_down) noexcept;

}  // namespace kavo_ops
