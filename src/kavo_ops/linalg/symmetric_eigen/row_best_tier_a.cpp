// Tier A: the AVX-512 form (eight lanes, row_best two registers at a time)
// for rows from 32 entries on; shorter ones take the AVX2 form, whose fixed
// cost is lower (a whole Jacobi solve at n = 8 measured 1.3-1.5x slower on
// the AVX-512 form alone). The forms give the same results.
#include "kavo_ops/linalg/symmetric_eigen/row_best_avx2_body.h"
#include "kavo_ops/linalg/symmetric_eigen/row_best_avx512_body.h"

namespace kavo_ops {
namespace {

constexpr std::size_t kWideFrom = 32;

RowBest row_best_tier_a_form(const double* row, const double* roots, double s_i, double floor,
                             std::size_t count) noexcept {
  return count < kWideFrom ? row_best_avx2(row, roots, s_i, floor, count)
                           : row_best_avx512(row, roots, s_i, floor, count);
}

std::size_t first_largest_tier_a_form(const double* values, std::size_t count) noexcept {
  return count < kWideFrom ? first_largest_avx2(values, count) : first_largest_avx512(values, count);
}

std::size_t rows_to_revisit_tier_a_form(const double* row_p, const double* row_q, const double* best,
                                        const std::uint64_t* column, std::uint64_t p, std::uint64_t q, double cut,
                                        std::uint64_t* rows) noexcept {
  return q < kWideFrom ? rows_to_revisit_avx2(row_p, row_q, best, column, p, q, cut, rows)
                       : rows_to_revisit_avx512(row_p, row_q, best, column, p, q, cut, rows);
}

}  // namespace

constinit const RowBestKernels row_best_tier_a{row_best_tier_a_form, first_largest_tier_a_form,
                                               rows_to_revisit_tier_a_form};

}  // namespace kavo_ops
