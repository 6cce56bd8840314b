#include "platform/processor_tier.h"

#include <atomic>

#include "platform/invariant_failure.h"
#include "platform/processor_tier_override.h"

namespace platform {
namespace {

constexpr int no_override = -1;

// Written only by tests through force_tier; read by every kernel call.
// Relaxed order suffices: the value is self-contained (it publishes no other
// data) and every tier computes a correct result, so a kernel racing with a
// change may use either tier. Its own cache line: it is read on every kernel
// call, and a neighbour written by another thread would make each read miss.
alignas(64) std::atomic<int> override_tier{no_override};

}  // namespace

Tier active_tier() noexcept {
  // The atomic is read here directly rather than through forced_tier(): g++
  // returns that optional through a byte store and a wider reload, a
  // store-forwarding stall on every kernel call.
  const int value = override_tier.load(std::memory_order_relaxed);
  if (value != no_override) return static_cast<Tier>(value);
  return best_tier(cpu_features());
}

bool tier_supported(Tier tier) noexcept { return tier_runs_on(tier, cpu_features()); }

void force_tier(std::optional<Tier> tier) {
  if (tier) ensure(tier_supported(*tier), "forced processor tier is not supported by this machine");
  override_tier.store(tier ? static_cast<int>(*tier) : no_override, std::memory_order_relaxed);
}

std::optional<Tier> forced_tier() noexcept {
  const int value = override_tier.load(std::memory_order_relaxed);
  if (value == no_override) return std::nullopt;
  return static_cast<Tier>(value);
}

}  // namespace platform
