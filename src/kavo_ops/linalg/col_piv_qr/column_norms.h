#pragma once
// The squared column norms column-pivoted QR chooses its pivots by: an
// estimate per column, kept current by downdating after every step, and a
// reference value from the last exact computation that tells when the
// estimate has lost its accuracy.

#include <cstdint>
#include <vector>

namespace kavo_ops {

struct ColumnNorms {
  std::vector<double> estimate;   // squared norm below the rows already processed
  std::vector<double> reference;  // its value at the last exact computation
};

// Squared norms of every column of the row-major m x n matrix `a`, each one
// accumulator over the rows in increasing order.
ColumnNorms initial_column_norms(const double* a, std::uint64_t m, std::uint64_t n);

// After step k has reflected row k: for each column j > k with a nonzero
// estimate, u = estimate - A[k][j]^2 (0 unless positive); where u /
// reference <= 2^-26.5 recompute both from rows k+1.. (0 when none remain),
// otherwise estimate = u.
void downdate_column_norms(ColumnNorms& norms, const double* a, std::uint64_t m, std::uint64_t n, std::uint64_t k);

}  // namespace kavo_ops
