#pragma once
// Forming Q applies the reflectors one after another to the same block of
// rows; this kernel does one reflector's update and the next reflector's
// column sums in a single sweep over the rows the two share, so the block is
// read once per reflector instead of twice. With c the current reflector's
// entries for the rows, c_next the next one's for the same rows, and
// s_j = tau * (the current reflector's sum for column j), for every row r
// ascending and column j < width:
//   B[r][j] = B[r][j] + (-c[r]) * s_j
//   t_j     = t_j + c_next[r] * B[r][j]     (the updated entry)
// every product rounded before its add: the arithmetic of reflect_rows'
// separate rounding, entry for entry, with t (the next sums, carried in and
// out) continuing its row-ascending sum. Columns are independent, so how
// many a tier carries in registers changes no bit.

#include <cstddef>

namespace kavo_ops {

void reflect_and_sum(double* block, std::size_t row_stride, std::size_t rows, std::size_t width, const double* c,
                     const double* scaled_sums, const double* c_next, double* next_sums) noexcept;

// One table per processor tier, defined by reflect_and_sum_tier_[abc].cpp.
struct ReflectAndSumKernels {
  void (*reflect_and_sum)(double* block, std::size_t row_stride, std::size_t rows, std::size_t width,
                          const double* c, const double* scaled_sums, const double* c_next,
                          double* next_sums) noexcept;
};
extern const ReflectAndSumKernels reflect_and_sum_tier_a, reflect_and_sum_tier_b, reflect_and_sum_tier_c;

}  // namespace kavo_ops
