#pragma once
// The magnitude kernels of each processor tier. Only the dispatch table
// names these; callers go through magnitude_slice.h.
//
// Included by the tier sources, which are compiled with their tier's
// instruction-set flags, so this header declares plain functions only.

#include <cstddef>

namespace kavo_ops::tier_a {
double magnitude_sum_f64(const double* x, std::size_t len) noexcept;
double max_magnitude_f64(const double* x, std::size_t len) noexcept;
}  // namespace kavo_ops::tier_a

namespace kavo_ops::tier_b {
double magnitude_sum_f64(const double* x, std::size_t len) noexcept;
double max_magnitude_f64(const double* x, std::size_t len) noexcept;
}  // namespace kavo_ops::tier_b

namespace kavo_ops::tier_c {
double magnitude_sum_f64(const double* x, std::size_t len) noexcept;
double max_magnitude_f64(const double* x, std::size_t len) noexcept;
}  // namespace kavo_ops::tier_c
