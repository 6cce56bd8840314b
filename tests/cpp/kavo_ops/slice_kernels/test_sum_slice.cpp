#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <set>
#include <vector>

#include "kavo_ops/slice_kernels/sum_slice.h"
#include "support/random_data.h"
#include "kavo_ops/slice_kernels/summation_models.h"
#include "support/tier_fixture.h"

namespace kavo_ops::test_support {
using namespace tier_testing;
using test_data::spread_values;
namespace {

// Both sides of W and 4W for W in {4, 8, 16}, and long runs.
constexpr std::size_t lengths[] = {0,  1,  2,  3,  4,  5,  7,  8,  9,  15,  16,  17,   31,   32,  33,
                                   47, 48, 63, 64, 65, 79, 80, 81, 127, 128, 129, 1000, 1013, 100003};

std::uint32_t bits(float v) { return std::bit_cast<std::uint32_t>(v); }

class SumSliceTest : public TierTest {};

TEST_P(SumSliceTest, ReproducesTheTierSummationOrderBitForBit) {
  for (std::size_t len : lengths) {
    for (std::uint32_t seed : {1u, 2u, 3u}) {
      SCOPED_TRACE(::testing::Message() << "len " << len << " seed " << seed);
      const std::vector<float> x = spread_values<float>(len, seed);
      EXPECT_EQ(bits(sum_slice(x)), bits(sum_model(GetParam(), x)));
    }
  }
}

// 2^24 + 64 ones: a single running float32 sum sticks at 2^24, but every
// tier's lanes stay exact, so the lane structure shows in the result.
TEST_P(SumSliceTest, LaneAccumulationCountsPastTwoToTheTwentyFour) {
  const std::vector<float> ones((std::size_t{1} << 24) + 64, 1.0f);
  EXPECT_EQ(sum_slice(ones), 16777280.0f);
}

// 2^24 + 1 ones: the last element is rounded away (ties to even); the
// result follows the model and repeats exactly.
TEST_P(SumSliceTest, TwoToTheTwentyFourPlusOneOnesIsReproducible) {
  const std::vector<float> ones((std::size_t{1} << 24) + 1, 1.0f);
  const float first = sum_slice(ones);
  EXPECT_EQ(bits(first), bits(sum_model(GetParam(), ones)));
  EXPECT_EQ(first, 16777216.0f);
  EXPECT_EQ(bits(sum_slice(ones)), bits(first));
}

TEST_P(SumSliceTest, InfinitiesOfBothSignsGiveNaNAndEmptyGivesZero) {
  std::vector<float> x(37, 1.0f);
  x[3] = std::numeric_limits<float>::infinity();
  x[36] = -std::numeric_limits<float>::infinity();  // in the tail on every tier
  EXPECT_TRUE(std::isnan(sum_slice(x)));
  EXPECT_EQ(sum_slice(std::span<const float>()), 0.0f);
}

INSTANTIATE_TEST_SUITE_P(AllTiers, SumSliceTest, ::testing::ValuesIn(all_tiers), TierName());

TEST(SumSliceModels, TierOrdersDifferOnSpreadData) {
  const std::vector<float> x = spread_values<float>(1013, 9);
  std::set<float> results;
  for (Tier tier : all_tiers) results.insert(sum_model(tier, x));
  EXPECT_EQ(results.size(), 3u);
}

}  // namespace
}  // namespace kavo_ops::test_support
