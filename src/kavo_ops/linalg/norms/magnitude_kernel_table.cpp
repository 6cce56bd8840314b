#include "kavo_ops/linalg/norms/magnitude_kernel_table.h"

#include "platform/per_tier.h"

namespace kavo_ops {
namespace {

constexpr platform::PerTier<MagnitudeKernelTable> tables{magnitude_kernels_tier_a, magnitude_kernels_tier_b,
                                                         magnitude_kernels_tier_c};

}  // namespace

const MagnitudeKernelTable& active_magnitude_kernels() noexcept { return tables.active(); }

}  // namespace kavo_ops
