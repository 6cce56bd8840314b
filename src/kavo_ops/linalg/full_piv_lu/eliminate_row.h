#pragma once
// One row of a complete-pivoting elimination step and the next step's
// search in that row, in one pass while the updated values are in
// registers:
//   out[j] = fma(alpha, x[j], out[j])   for j < len (the axpy slice
//            kernel's rounding: one fused multiply-add per element),
// returning the largest |out[j]| among the updated entries that are not
// NaN, or -1 when there is none (what largest_magnitude gives for the
// updated row). The maximum is exact, so neither the tier nor the order of
// the lanes changes it.

#include <cstddef>

namespace kavo_ops {

double eliminate_row(double alpha, const double* x, double* out, std::size_t len) noexcept;

// One table per processor tier, defined by eliminate_row_tier_[abc].cpp.
struct EliminateRowKernels {
  using Eliminate = double (*)(double alpha, const double* x, double* out, std::size_t len) noexcept;
  Eliminate eliminate;
};
extern const EliminateRowKernels eliminate_row_tier_a, eliminate_row_tier_b, eliminate_row_tier_c;

// The active tier's kernel, for loops that call it row after row.
EliminateRowKernels::Eliminate active_eliminate_row() noexcept;

}  // namespace kavo_ops
