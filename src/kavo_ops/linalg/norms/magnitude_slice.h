#pragma once
// Slice kernels of the entrywise norms: the sum and the maximum of |x[i]|.
// Both go through the active processor tier's kernel (magnitude_kernel_table.h).
//
// Sum: each tier adds in its own fixed order (eight running accumulators,
// combined pairwise), so results may differ in the last bits between tiers
// but repeat exactly on one machine; any NaN gives NaN, any infinity with no
// NaN gives +inf.
// Max: exact and independent of tier and order; NaN when any entry is NaN
// (the bits of the largest NaN payload, sign cleared).
// An empty slice gives 0 for both.

#include <span>

namespace kavo_ops {

double magnitude_sum_slice(std::span<const double> x) noexcept;
double max_magnitude_slice(std::span<const double> x) noexcept;

}  // namespace kavo_ops
