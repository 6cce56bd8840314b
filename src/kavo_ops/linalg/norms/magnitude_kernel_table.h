#pragma once
// One table of magnitude kernels per processor tier, defined by
// magnitude_tier_[abc].cpp from one body (magnitude_body.h); magnitude_slice.h
// looks up the active tier's table on every call.

#include <cstddef>

namespace kavo_ops {

struct MagnitudeKernelTable {
  // len >= 1; x points at len readable doubles (no alignment needed).
  using Reduce = double (*)(const double* x, std::size_t len) noexcept;

  Reduce sum_f64;  // sum of |x[i]|
  Reduce max_f64;  // max of |x[i]|, NaN-propagating
};

extern const MagnitudeKernelTable magnitude_kernels_tier_a, magnitude_kernels_tier_b, magnitude_kernels_tier_c;

// The table of platform::active_tier(), read afresh on every call.
const MagnitudeKernelTable& active_magnitude_kernels() noexcept;

}  // namespace kavo_ops
