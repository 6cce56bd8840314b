#pragma once
// The processor tiers every slice kernel family has a form for, best first:
//   A  AVX-512F (with AVX2 and FMA)
//   B  AVX2 and FMA, both required
//   C  the x86-64 baseline (SSE2), fused multiply-add through std::fma
// A tier runs on a machine when the processor has its instructions and the
// operating system saves the registers they use.

#include "platform/cpu_features.h"

namespace kavo_ops {

enum class Tier { A, B, C };

constexpr bool tier_runs_on(Tier tier, platform::CpuFeatureWord features) noexcept {
  namespace feature = platform::cpu_feature;
  // Tier A sources are also compiled with AVX2 and FMA enabled, so require them.
  constexpr platform::CpuFeatureWord tier_a_needs = feature::avx512f | feature::avx2 | feature::fma;
  constexpr platform::CpuFeatureWord tier_b_needs = feature::avx2 | feature::fma;
  switch (tier) {
    case Tier::A: return (features & tier_a_needs) == tier_a_needs;
    case Tier::B: return (features & tier_b_needs) == tier_b_needs;
    case Tier::C: return true;
  }
  return false;
}

constexpr Tier best_tier(platform::CpuFeatureWord features) noexcept {
  if (tier_runs_on(Tier::A, features)) return Tier::A;
  if (tier_runs_on(Tier::B, features)) return Tier::B;
  return Tier::C;
}

}  // namespace kavo_ops
