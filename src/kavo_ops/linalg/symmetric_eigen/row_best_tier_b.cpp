// Tier B (AVX2 + FMA): four lanes per register.
#include "kavo_ops/linalg/symmetric_eigen/row_best_avx2_body.h"

namespace kavo_ops::tier_b {

RowBest row_best(const double* row, const double* roots, double s_i, double floor, std::size_t count) noexcept {
  return row_best_avx2(row, roots, s_i, floor, count);
}

std::size_t first_largest(const double* values, std::size_t count) noexcept {
  return first_largest_avx2(values, count);
}

std::size_t rows_to_revisit(const double* row_p, const double* row_q, const double* best, const std::uint64_t* column,
                            std::uint64_t p, std::uint64_t q, double cut, std::uint64_t* rows) noexcept {
  return rows_to_revisit_avx2(row_p, row_q, best, column, p, q, cut, rows);
}

}  // namespace kavo_ops::tier_b
