#pragma once
// Removing a negligible diagonal entry of block lo..hi by a rotation chase:
// the entry is set to 0 and its row (or, for the bottom entry, its column)
// is cleared by rotations that push the superdiagonal entry out of the
// block, which then splits. No division, so an exactly zero diagonal entry
// converges like any other.

#include <cstddef>

#include "kavo_ops/linalg/svd/bidiagonal_qr/qr_state.h"

namespace kavo_ops {

// Looks for a negligible d[i] (lo <= i < hi: |d_i| adds nothing to
// |e_i| + |e_{i-1}|), else a negligible d[hi]; chases it and returns true,
// or returns false when there is none.
bool chase_negligible_diagonal(const QrState& state, std::size_t lo, std::size_t hi);

}  // namespace kavo_ops
