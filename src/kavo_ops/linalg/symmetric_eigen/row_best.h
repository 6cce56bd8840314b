#pragma once
// The two searches the Jacobi pivot tracker repeats after every rotation,
// in three processor tiers with identical results (they only compare, and
// compute s_i·s_j and ε·t with the same two roundings in every lane):
//  - row_best: the largest significant |row[j]| of one row of the upper
//    triangle and its first position;
//  - first_largest: the first position of the largest of n non-negative
//    values (the row bests);
//  - rows_to_revisit: after a rotation in the plane (p, q), the rows i < q
//    whose best might change: best column p or q, or |a_ip| or |a_iq| at
//    least the row's best and above cut = ε·floor, below which no entry is
//    significant (read from the contiguous rows p and q). It may
//    list rows that turn out unchanged, never miss one that changes.
// Entry j is significant when |row[j]| > ε·max(s_i·roots[j], floor)
// (jacobi_pivot.h).

#include <cstddef>
#include <cstdint>

namespace kavo_ops {

struct RowBest {
  double magnitude;   // 0 when no entry is significant
  std::size_t index;  // count when no entry is significant
};

RowBest row_best(const double* row, const double* roots, double s_i, double floor, std::size_t count) noexcept;
// count when count is 0; values must not be NaN.
std::size_t first_largest(const double* values, std::size_t count) noexcept;
// Writes the listed rows in ascending order to `rows` (room for q), returns how many.
std::size_t rows_to_revisit(const double* row_p, const double* row_q, const double* best, const std::uint64_t* column,
                            std::uint64_t p, std::uint64_t q, double cut, std::uint64_t* rows) noexcept;

// One table per processor tier, defined by row_best_tier_[abc].cpp.
struct RowBestKernels {
  RowBest (*row_best)(const double* row, const double* roots, double s_i, double floor, std::size_t count) noexcept;
  std::size_t (*first_largest)(const double* values, std::size_t count) noexcept;
  std::size_t (*rows_to_revisit)(const double* row_p, const double* row_q, const double* best,
                                 const std::uint64_t* column, std::uint64_t p, std::uint64_t q, double cut,
                                 std::uint64_t* rows) noexcept;
};
extern const RowBestKernels row_best_tier_a, row_best_tier_b, row_best_tier_c;

}  // namespace kavo_ops
