#include <cmath>

#include "kavo_ops/linalg/symmetric_eigen/jacobi_pivot.h"
#include "kavo_ops/linalg/symmetric_eigen/row_best.h"

namespace kavo_ops {

JacobiPivotTracker::JacobiPivotTracker(std::uint64_t n, double floor)
    : n_(n), floor_(floor), roots_(n), row_best_(n), row_col_(n, n), revisit_(n) {}

void JacobiPivotTracker::reset(const double* a) {
  for (std::uint64_t i = 0; i < n_; ++i) roots_[i] = std::sqrt(std::fabs(a[i * n_ + i]));
  for (std::uint64_t i = 0; i < n_; ++i) rescan_row(a, i);
}

void JacobiPivotTracker::rescan_row(const double* a, std::uint64_t i) {
  const std::uint64_t first = i + 1;
  const RowBest best = row_best(a + i * n_ + first, roots_.data() + first, roots_[i], floor_, n_ - first);
  row_best_[i] = best.magnitude;
  row_col_[i] = best.magnitude > 0.0 ? first + best.index : n_;
}

// An entry of row i whose value changed while the row's best did not.
void JacobiPivotTracker::offer(std::uint64_t i, std::uint64_t j, double magnitude) {
  const bool better = magnitude > row_best_[i] || (magnitude == row_best_[i] && j < row_col_[i]);
  if (better && jacobi_significant(magnitude, roots_[i], roots_[j], floor_)) {
    row_best_[i] = magnitude;
    row_col_[i] = j;
  }
}

void JacobiPivotTracker::rotated(const double* a, std::uint64_t p, std::uint64_t q) {
  roots_[p] = std::sqrt(std::fabs(a[p * n_ + p]));
  roots_[q] = std::sqrt(std::fabs(a[q * n_ + q]));
  rescan_row(a, p);
  rescan_row(a, q);
  // Rows above q see their columns p and q through rows p and q (A is
  // exactly symmetric), which are contiguous. Rows not listed keep their
  // best: it was not in column p or q and neither new entry reaches it.
  const double* row_p = a + p * n_;
  const double* row_q = a + q * n_;
  const std::size_t listed = rows_to_revisit(row_p, row_q, row_best_.data(), row_col_.data(), p, q,
                                             0x1p-52 * floor_, revisit_.data());
  for (std::size_t k = 0; k < listed; ++k) {
    const std::uint64_t i = revisit_[k];
    if (i == p) continue;
    if (row_col_[i] == p || row_col_[i] == q) {
      rescan_row(a, i);
      continue;
    }
    if (i < p) offer(i, p, std::fabs(row_p[i]));
    offer(i, q, std::fabs(row_q[i]));
  }
}

JacobiPivot JacobiPivotTracker::pivot() const {
  const std::uint64_t i = first_largest(row_best_.data(), n_);
  if (i == n_ || !(row_best_[i] > 0.0)) return {};
  return {true, i, row_col_[i], row_best_[i]};
}

}  // namespace kavo_ops
