#pragma once
// The tier the slice kernels use on this call: the best tier of this machine,
// unless a test has forced a lower one (internal/tier_override.h).

#include "kavo_ops/scalar/tier.h"

namespace kavo_ops {

Tier active_tier() noexcept;

// Whether this machine can run `tier`.
bool tier_supported(Tier tier) noexcept;

}  // namespace kavo_ops
