// The cache summary behind the process-wide cache policy, and the policy's
// once-only computation.

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "vendral/cache_policy.h"

namespace {

using vendral::CacheDescriptor;
using vendral::CachePolicy;
using vendral::summarize_caches;

struct SummaryCase {
  const char* name;
  std::vector<CacheDescriptor> caches;
  CachePolicy expected;
};

void PrintTo(const SummaryCase& c, std::ostream* out) { *out << c.name; }

class CacheSummary : public testing::TestWithParam<SummaryCase> {};

TEST_P(CacheSummary, SmallestSizePerLevelAndLargestLine) {
  EXPECT_EQ(summarize_caches(GetParam().caches), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    CachePolicy, CacheSummary,
    testing::Values(
        SummaryCase{"NoCachesKeepsTheDefaults", {}, {32768, 262144, 8388608, 64}},
        SummaryCase{"EveryLevelReported",
                    {{1, 49152, 64, {0}}, {2, 1 << 20, 64, {0}}, {3, 32 << 20, 64, {0, 1}}},
                    {49152, 1 << 20, 32 << 20, 64}},
        SummaryCase{"SmallestInstanceOfALevel",
                    {{2, 2 << 20, 64, {0}}, {2, 1 << 20, 64, {1}}, {2, 4 << 20, 64, {2}}},
                    {32768, 1 << 20, 8388608, 64}},
        SummaryCase{"PerCoreLevelTwoOfEqualSize",
                    {{2, 512 << 10, 64, {0}}, {2, 512 << 10, 64, {1}}},
                    {32768, 512 << 10, 8388608, 64}},
        SummaryCase{"OnlyLevelThreeKeepsTheOtherDefaults",
                    {{3, 1 << 20, 64, {0}}},
                    {32768, 262144, 1 << 20, 64}},
        SummaryCase{"LargestLineWins",
                    {{1, 32768, 32, {0}}, {2, 1 << 20, 128, {0}}, {3, 8 << 20, 64, {0}}},
                    {32768, 1 << 20, 8 << 20, 128}},
        SummaryCase{"SmallerLineThanTheDefaultReplacesIt",
                    {{1, 32768, 32, {0}}},
                    {32768, 262144, 8388608, 32}},
        SummaryCase{"NoLineReportedKeepsTheDefaultLine",
                    {{1, 16384, std::nullopt, {0}}, {2, 131072, std::nullopt, {0}}},
                    {16384, 131072, 8388608, 64}}),
    [](const testing::TestParamInfo<SummaryCase>& info) { return info.param.name; });

TEST(CachePolicy, ComputedOnceFromTheProbeAndSharedByEveryThread) {
  std::vector<const CachePolicy*> seen(4, nullptr);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < seen.size(); ++i) {
    threads.emplace_back([&seen, i] { seen[i] = &vendral::cache_policy(); });
  }
  for (std::thread& thread : threads) thread.join();
  for (const CachePolicy* policy : seen) EXPECT_EQ(policy, &vendral::cache_policy());
  EXPECT_EQ(vendral::cache_policy(), summarize_caches(vendral::probe_topology().caches));
}

}  // namespace
