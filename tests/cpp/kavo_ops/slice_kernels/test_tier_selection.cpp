#include <gtest/gtest.h>

#include "platform/processor_tier.h"
#include "platform/processor_tier_override.h"
#include "platform/cpu_features.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {
using namespace platform;
namespace {

using platform::CpuFeatureWord;
using platform::CpuidReport;
namespace feature = platform::cpu_feature;

// Register bits as the processor reports them.
constexpr std::uint32_t sse2 = 1u << 26;                                          // leaf 1 EDX
constexpr std::uint32_t fma3 = 1u << 12, osxsave = 1u << 27, avx = 1u << 28;      // leaf 1 ECX
constexpr std::uint32_t avx2 = 1u << 5, avx512f = 1u << 16;                       // leaf 7 EBX
constexpr std::uint64_t ymm_state = 0b110, zmm_state = 0b1110'0110;

struct DecodeCase {
  const char* what;
  CpuidReport report;
  CpuFeatureWord expected;
  Tier tier;
};

TEST(CpuFeatures, CountOnlyWhatTheOperatingSystemSaves) {
  const CpuFeatureWord all = feature::sse2 | feature::avx2 | feature::fma | feature::avx512f;
  const DecodeCase cases[] = {
      {"everything", {7, osxsave | avx | fma3, sse2, avx2 | avx512f, zmm_state}, all, Tier::A},
      {"OS saves YMM but not opmask/ZMM",
       {7, osxsave | avx | fma3, sse2, avx2 | avx512f, ymm_state},
       feature::sse2 | feature::avx2 | feature::fma,
       Tier::B},
      {"ZMM saved but opmask not",
       {7, osxsave | avx | fma3, sse2, avx2 | avx512f, 0b1100'0110},
       feature::sse2 | feature::avx2 | feature::fma,
       Tier::B},
      {"XSAVE not enabled by the OS: XCR0 is meaningless",
       {7, avx | fma3, sse2, avx2 | avx512f, zmm_state},
       feature::sse2,
       Tier::C},
      {"OS saves only XMM", {7, osxsave | avx | fma3, sse2, avx2 | avx512f, 0b010}, feature::sse2, Tier::C},
      {"AVX2 without FMA", {7, osxsave | avx, sse2, avx2, ymm_state}, feature::sse2 | feature::avx2, Tier::C},
      {"AVX-512F without AVX2/FMA bits",
       {7, osxsave | avx, sse2, avx512f, zmm_state},
       feature::sse2 | feature::avx512f,
       Tier::C},
      {"leaf 7 not available", {6, osxsave | avx | fma3, sse2, avx2 | avx512f, zmm_state},
       feature::sse2 | feature::fma, Tier::C},
      {"AVX bit clear", {7, osxsave | fma3, sse2, avx2 | avx512f, zmm_state}, feature::sse2, Tier::C},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::decode_cpu_features(c.report), c.expected) << c.what;
    EXPECT_EQ(best_tier(c.expected), c.tier) << c.what;
  }
}

TEST(CpuFeatures, CachedWordMatchesAFreshQuery) {
  const CpuFeatureWord word = platform::cpu_features();
  EXPECT_EQ(word, platform::decode_cpu_features(platform::read_cpuid_report()));
  EXPECT_EQ(platform::cpu_features(), word);
  EXPECT_TRUE(word & feature::sse2);  // every x86-64 processor
}

TEST(ActiveTier, ForcingATierAndReleasingIt) {
  const Tier best = best_tier(platform::cpu_features());
  EXPECT_EQ(active_tier(), best);
  for (Tier tier : {Tier::A, Tier::B, Tier::C}) {
    if (!tier_supported(tier)) {
      EXPECT_THROW(force_tier(tier), platform::InvariantFailure);
      continue;
    }
    force_tier(tier);
    EXPECT_EQ(active_tier(), tier);
  }
  force_tier(std::nullopt);
  EXPECT_EQ(active_tier(), best);
  EXPECT_TRUE(tier_supported(Tier::C));
}

}  // namespace
}  // namespace kavo_ops
