#pragma once
// The Jacobi iteration on a prepared (screened, scaled, exactly symmetric)
// matrix: pivot, rotate, repeat until no entry is significant or `limit`
// rotations have been counted; then one more search decides convergence.

#include <cstdint>

#include "kavo_ops/linalg/symmetric_eigen/jacobi_pivot.h"

namespace kavo_ops {

enum class JacobiSearch {
  full_scan,  // the upper triangle before every rotation: the plain reference
  tracked,    // JacobiPivotTracker: same pivots, O(n) per rotation
};

struct JacobiRun {
  bool converged = false;
  std::uint64_t steps = 0;
  JacobiPivot last;  // the pivot still standing when not converged
};

// 32·n², at least 1, saturating at the largest 64-bit count.
std::uint64_t jacobi_rotation_limit(std::uint64_t n) noexcept;

// a: row-major n x n, exactly symmetric on entry and on return (during the
// iteration only its upper triangle is kept current); vt: the transposed
// eigenvector matrix (identity on entry for a full solve); floor: the
// absolute significance floor ε·‖A‖_F.
JacobiRun jacobi_iterate(double* a, double* vt, std::uint64_t n, double floor, std::uint64_t limit,
                         JacobiSearch search);

}  // namespace kavo_ops
