#pragma once
// One table of magnitude kernels per processor tier; magnitude_slice.h looks
// up the active tier's table on every call. Only the *_tier_[abc].cpp
// sources contain instruction-set code.

#include <cstddef>

#include "platform/processor_tier.h"

namespace kavo_ops {

struct MagnitudeKernelTable {
  // len >= 1; x points at len readable doubles (no alignment needed).
  using Reduce = double (*)(const double* x, std::size_t len) noexcept;

  Reduce sum_f64;  // sum of |x[i]|
  Reduce max_f64;  // max of |x[i]|, NaN-propagating
};

const MagnitudeKernelTable& magnitude_kernels(platform::Tier tier) noexcept;

// The table of platform::active_tier(), read afresh on every call.
const MagnitudeKernelTable& active_magnitude_kernels() noexcept;

}  // namespace kavo_ops
