// Tier C (SSE2 baseline): one entry at a time, the reference form.
#include <cmath>

#include "kavo_ops/linalg/symmetric_eigen/jacobi_pivot.h"
#include "kavo_ops/linalg/symmetric_eigen/row_best.h"

namespace kavo_ops {
namespace {

RowBest row_best_one_by_one(const double* row, const double* roots, double s_i, double floor,
                            std::size_t count) noexcept {
  RowBest best{0.0, count};
  for (std::size_t j = 0; j < count; ++j) {
    const double x = std::fabs(row[j]);
    if (x > best.magnitude && jacobi_significant(x, s_i, roots[j], floor)) best = {x, j};
  }
  return best;
}

std::size_t first_largest_one_by_one(const double* values, std::size_t count) noexcept {
  std::size_t index = count;
  double largest = 0.0;
  for (std::size_t i = 0; i < count; ++i) {
    if (index == count || values[i] > largest) {
      largest = values[i];
      index = i;
    }
  }
  return index;
}

std::size_t rows_to_revisit_one_by_one(const double* row_p, const double* row_q, const double* best,
                                       const std::uint64_t* column, std::uint64_t p, std::uint64_t q, double cut,
                                       std::uint64_t* rows) noexcept {
  std::size_t listed = 0;
  for (std::uint64_t i = 0; i < q; ++i) {
    const double xp = std::fabs(row_p[i]);
    const double xq = std::fabs(row_q[i]);
    const bool revisit = (xp >= best[i] && xp > cut) || (xq >= best[i] && xq > cut) || column[i] == p || column[i] == q;
    if (revisit) rows[listed++] = i;
  }
  return listed;
}

}  // namespace

constinit const RowBestKernels row_best_tier_c{row_best_one_by_one, first_largest_one_by_one,
                                               rows_to_revisit_one_by_one};

}  // namespace kavo_ops
