#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <set>
#include <vector>

#include "kavo_ops/slice_kernels/dot_slice.h"
#include "support/random_data.h"
#include "kavo_ops/slice_kernels/summation_models.h"
#include "support/tier_fixture.h"

namespace kavo_ops::test_support {
using namespace tier_testing;
using test_data::spread_values;
namespace {

// Both sides of L, 4L and 4L + L for every lane count L in {4, 8, 16}, of
// tier C's 16-element groups, and long runs with every tail length.
constexpr std::size_t lengths[] = {0,  1,  3,  4,  5,  7,  8,  9,  12, 15, 16,  17,  20,  31,   32,   33,
                                   40, 47, 48, 63, 64, 65, 79, 80, 81, 95, 127, 129, 1000, 1013, 4096, 100003};

class DotSliceTest : public TierTest {};

template <class T>
void expect_tier_summation_order(Tier tier) {
  using Bits = std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>;
  for (std::size_t len : lengths) {
    for (std::uint32_t seed : {1u, 2u, 3u}) {
      SCOPED_TRACE(::testing::Message() << "len " << len << " seed " << seed << " bytes " << sizeof(T));
      const std::vector<T> a = spread_values<T>(len, seed);
      const std::vector<T> b = spread_values<T>(len, seed + 100);
      const T got = dot_slice(std::span<const T>(a), std::span<const T>(b));
      const T model = dot_model<T>(tier, a, b);
      EXPECT_EQ(std::bit_cast<Bits>(got), std::bit_cast<Bits>(model)) << got << " vs model " << model;
    }
  }
}

TEST_P(DotSliceTest, ReproducesTheTierSummationOrderBitForBit) {
  expect_tier_summation_order<float>(GetParam());
  expect_tier_summation_order<double>(GetParam());
}

TEST_P(DotSliceTest, AgreesWithDoubleReferenceToFloatRoundingAndRepeatsExactly) {
  const std::size_t n = 1000;
  const std::vector<float> a = spread_values<float>(n, 7);
  const std::vector<float> b = spread_values<float>(n, 8);
  double reference = 0.0, magnitude = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    reference += double(a[i]) * double(b[i]);
    magnitude += std::abs(double(a[i]) * double(b[i]));
  }
  const float first = dot_slice(std::span<const float>(a), std::span<const float>(b));
  // Any summation order of n float32 products is within n * 2^-24 * sum|ab|.
  EXPECT_LE(std::abs(double(first) - reference), double(n) * std::ldexp(1.0, -24) * magnitude);
  for (int repeat = 0; repeat < 5; ++repeat) {
    EXPECT_EQ(std::bit_cast<std::uint32_t>(dot_slice(std::span<const float>(a), std::span<const float>(b))),
              std::bit_cast<std::uint32_t>(first));
  }
}

TEST_P(DotSliceTest, EmptyInputGivesZero) {
  EXPECT_EQ(dot_slice(std::span<const float>(), std::span<const float>()), 0.0f);
  EXPECT_EQ(dot_slice(std::span<const double>(), std::span<const double>()), 0.0);
}

INSTANTIATE_TEST_SUITE_P(AllTiers, DotSliceTest, ::testing::ValuesIn(all_tiers), TierName());

// The bit-for-bit checks above only mean something if the tiers' orders give
// different bits on such data.
TEST(DotSliceModels, TierOrdersDifferOnSpreadData) {
  const std::vector<float> a = spread_values<float>(1013, 6);
  const std::vector<float> b = spread_values<float>(1013, 7);
  std::set<float> results;
  for (Tier tier : all_tiers) results.insert(dot_model<float>(tier, a, b));
  EXPECT_EQ(results.size(), 3u);
}

}  // namespace
}  // namespace kavo_ops::test_support
