// Register-held grouped dots against lone dot_slice calls, bit for bit, on
// every tier: all group sizes up to two full register groups plus a
// remainder, and lengths on both sides of every lane and block boundary.

#include <gtest/gtest.h>

#include <bit>
#include <vector>

#include "kavo_ops/slice_kernels/shared_operand_dots.h"
#include "kavo_ops/slice_kernels/dot_slice.h"
#include "support/random_data.h"
#include "support/tier_fixture.h"

namespace {

using tier_testing::TierTest;

class SharedOperandDotsTest : public TierTest {};

TEST_P(SharedOperandDotsTest, EveryDotEqualsTheLoneDotBitForBit) {
  constexpr std::size_t lengths[] = {0, 1, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 32, 33, 47, 48, 63, 64, 65, 1000, 1013};
  for (std::size_t len : lengths) {
    const std::vector<double> shared = test_data::spread_values<double>(len, 7);
    for (std::size_t count = 0; count <= 13; ++count) {
      std::vector<std::vector<double>> others;
      std::vector<const double*> pointers;
      for (std::size_t g = 0; g < count; ++g) others.push_back(test_data::spread_values<double>(len, 100 + g));
      for (const auto& other : others) pointers.push_back(other.data());
      std::vector<double> out(count, -1.0);
      kavo_ops::shared_operand_dots(shared.data(), pointers.data(), count, len, out.data());
      for (std::size_t g = 0; g < count; ++g) {
        const double lone = kavo_ops::dot_slice(std::span<const double>(shared), std::span<const double>(others[g]));
        ASSERT_EQ(std::bit_cast<std::uint64_t>(out[g]), std::bit_cast<std::uint64_t>(lone))
            << "len " << len << " count " << count << " g " << g;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllTiers, SharedOperandDotsTest, ::testing::ValuesIn(tier_testing::all_tiers),
                         tier_testing::TierName());

}  // namespace
