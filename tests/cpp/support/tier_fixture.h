#pragma once
// Runs a test body once per processor tier by forcing the kernels onto it;
// tiers this machine cannot run are skipped.

#include <gtest/gtest.h>

#include <string>

#include "platform/processor_tier.h"
#include "platform/processor_tier_override.h"

namespace tier_testing {

using platform::Tier;

inline constexpr Tier all_tiers[] = {Tier::A, Tier::B, Tier::C};

inline std::string tier_name(Tier tier) {
  switch (tier) {
    case Tier::A: return "TierA";
    case Tier::B: return "TierB";
    case Tier::C: return "TierC";
  }
  return "Unknown";
}

struct TierName {
  std::string operator()(const ::testing::TestParamInfo<Tier>& info) const { return tier_name(info.param); }
};

// Forces GetParam()'s tier for the test's duration.
class TierTest : public ::testing::TestWithParam<Tier> {
 protected:
  void SetUp() override {
    if (!platform::tier_supported(GetParam())) GTEST_SKIP() << tier_name(GetParam()) << " not supported here";
    platform::force_tier(GetParam());
  }
  void TearDown() override { platform::force_tier(std::nullopt); }
};

}  // namespace tier_testing
