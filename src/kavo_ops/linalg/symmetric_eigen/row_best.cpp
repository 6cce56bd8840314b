#include "kavo_ops/linalg/symmetric_eigen/row_best.h"

#include "platform/per_tier.h"

namespace kavo_ops {
namespace {

constexpr platform::PerTier<RowBestKernels> row_best_kernels{row_best_tier_a, row_best_tier_b, row_best_tier_c};

}  // namespace

RowBest row_best(const double* row, const double* roots, double s_i, double floor, std::size_t count) noexcept {
  return row_best_kernels.active().row_best(row, roots, s_i, floor, count);
}

std::size_t first_largest(const double* values, std::size_t count) noexcept {
  return row_best_kernels.active().first_largest(values, count);
}

std::size_t rows_to_revisit(const double* row_p, const double* row_q, const double* best, const std::uint64_t* column,
                            std::uint64_t p, std::uint64_t q, double cut, std::uint64_t* rows) noexcept {
  return row_best_kernels.active().rows_to_revisit(row_p, row_q, best, column, p, q, cut, rows);
}

}  // namespace kavo_ops
