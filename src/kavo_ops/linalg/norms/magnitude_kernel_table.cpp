#include "kavo_ops/linalg/norms/magnitude_kernel_table.h"

#include "kavo_ops/linalg/norms/magnitude_tier_kernels.h"

namespace kavo_ops {
namespace {

constexpr MagnitudeKernelTable tier_a_table{tier_a::magnitude_sum_f64, tier_a::max_magnitude_f64};
constexpr MagnitudeKernelTable tier_b_table{tier_b::magnitude_sum_f64, tier_b::max_magnitude_f64};
constexpr MagnitudeKernelTable tier_c_table{tier_c::magnitude_sum_f64, tier_c::max_magnitude_f64};

}  // namespace

const MagnitudeKernelTable& magnitude_kernels(platform::Tier tier) noexcept {
  switch (tier) {
    case platform::Tier::A: return tier_a_table;
    case platform::Tier::B: return tier_b_table;
    case platform::Tier::C: return tier_c_table;
  }
  return tier_c_table;
}

const MagnitudeKernelTable& active_magnitude_kernels() noexcept { return magnitude_kernels(platform::active_tier()); }

}  // namespace kavo_ops
