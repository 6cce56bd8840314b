#pragma once
// The Jacobi solver's input screen on its row-major n x n working copy:
// finiteness ("... non-finite entry at (i, j)"), then symmetry within
// (n + 2)·ε·‖A‖_F ("... is not symmetric at (i, j)"), then the lower
// triangle replaced by the upper so the matrix is exactly symmetric.
//
// ‖A‖_F = mx·√Σ(a_ij/mx)² can exceed the largest double even for finite
// entries (and a_ij - a_ji can overflow too); both sides of the comparison
// are therefore taken in units of 2^e, mx = f·2^e with 1 ≤ f < 2, where the
// norm is below 2n and every difference finite. Scaling by 2^-e is exact for
// all entries that stay normal, and those that do not are far below the
// allowance, so the outcome equals the unscaled comparison wherever that one
// is finite.

#include <cstdint>

#include "kavo/error/array_error.h"

namespace kavo_ops {

kavo::Expected<void> screen_symmetric_input(double* a, std::uint64_t n);

// mx·√Σ(a_ij/mx)² over the n·n entries in row-major order (0 for a zero
// matrix); may overflow for entries near the largest double.
double frobenius_norm_by_largest(const double* a, std::uint64_t count);

}  // namespace kavo_ops
