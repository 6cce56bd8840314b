#pragma once
// The processor tiers every vector kernel family has a form for, best first:
//   A  AVX-512F (with AVX2 and FMA)
//   B  AVX2 and FMA, both required
//   C  the x86-64 baseline (SSE2), fused multiply-add through std::fma
// A tier runs on a machine when the processor has its instructions and the
// operating system saves the registers they use.

#include "platform/cpu_features.h"

namespace platform {

enum class Tier { A, B, C };

constexpr bool tier_runs_on(Tier tier, CpuFeatureWord features) noexcept {
  // Tier A sources are also compiled with AVX2 and FMA enabled, so require them.
  constexpr CpuFeatureWord tier_a_needs = cpu_feature::avx512f | cpu_feature::avx2 | cpu_feature::fma;
  constexpr CpuFeatureWord tier_b_needs = cpu_feature::avx2 | cpu_feature::fma;
  switch (tier) {
    case Tier::A: return (features & tier_a_needs) == tier_a_needs;
    case Tier::B: return (features & tier_b_needs) == tier_b_needs;
    case Tier::C: return true;
  }
  return false;
}

constexpr Tier best_tier(CpuFeatureWord features) noexcept {
  if (tier_runs_on(Tier::A, features)) return Tier::A;
  if (tier_runs_on(Tier::B, features)) return Tier::B;
  return Tier::C;
}

// The tier kernels use on this call: the best tier of this machine, unless a
// test has forced a lower one (processor_tier_override.h).
Tier active_tier() noexcept;

// Whether this machine can run `tier`.
bool tier_supported(Tier tier) noexcept;

}  // namespace platform
