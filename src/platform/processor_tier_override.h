#pragma once
// For tests and benchmarks only: makes every tiered kernel run a chosen tier,
// so that all three tiers can be checked on one machine.

#include <optional>

#include "platform/processor_tier.h"

namespace platform {

// Forces `tier` for all threads until called again with std::nullopt.
// Forcing a tier this machine cannot run is an invariant failure.
void force_tier(std::optional<Tier> tier);

// The forced tier, if any.
std::optional<Tier> forced_tier() noexcept;

}  // namespace platform
