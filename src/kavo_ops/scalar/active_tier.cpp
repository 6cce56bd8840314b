#include "kavo_ops/scalar/active_tier.h"

#include "kavo_ops/scalar/internal/tier_override.h"
#include "platform/cpu_features.h"

namespace kavo_ops {

Tier active_tier() noexcept {
  if (auto forced = forced_tier()) return *forced;
  return best_tier(platform::cpu_features());
}

bool tier_supported(Tier tier) noexcept { return tier_runs_on(tier, platform::cpu_features()); }

}  // namespace kavo_ops
