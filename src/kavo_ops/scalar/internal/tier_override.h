#pragma once
// For tests only: makes every slice kernel run a chosen tier, so that all
// three tiers can be checked on one machine. Not for production callers.

#include <optional>

#include "kavo_ops/scalar/tier.h"

namespace kavo_ops {

// Forces `tier` for all threads until called again with std::nullopt.
// Forcing a tier this machine cannot run is an invariant failure.
void force_tier(std::optional<Tier> tier);

// The forced tier, if any.
std::optional<Tier> forced_tier() noexcept;

}  // namespace kavo_ops
