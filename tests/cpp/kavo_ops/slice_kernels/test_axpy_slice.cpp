#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "kavo_ops/slice_kernels/axpy_slice.h"
#include "support/random_data.h"
#include "support/tier_fixture.h"

namespace kavo_ops::test_support {
using namespace tier_testing;
using test_data::spread_values;
namespace {

// Around the 4-vector and 1-vector blocks of every tier (4..64 lanes) and
// tier C's 16-element unroll.
constexpr std::size_t lengths[] = {0, 1, 3, 4, 7, 8, 15, 16, 17, 31, 32, 33, 63, 64, 65, 100, 1000, 4099};

class AxpySliceTest : public TierTest {};

template <class T>
void expect_fused_on_every_element() {
  for (std::size_t len : lengths) {
    SCOPED_TRACE(::testing::Message() << "len " << len << " element bytes " << sizeof(T));
    const std::vector<T> x = spread_values<T>(len, 11);
    std::vector<T> out = spread_values<T>(len + 1, 12);
    const T guard = out[len];
    const T alpha = T(0.7314);
    std::vector<T> expected(out.begin(), out.begin() + len);
    for (std::size_t i = 0; i < len; ++i) expected[i] = std::fma(alpha, x[i], expected[i]);

    axpy_slice(alpha, std::span<const T>(x), std::span<T>(out.data(), len));

    if (len > 0) {
      EXPECT_EQ(std::memcmp(out.data(), expected.data(), len * sizeof(T)), 0);
    }
    EXPECT_EQ(out[len], guard);
  }
}

// One rounding per element on every tier: the result is tier-independent and
// equals std::fma exactly (a separately rounded multiply and add would not).
TEST_P(AxpySliceTest, EveryElementIsOneFusedMultiplyAdd) {
  expect_fused_on_every_element<float>();
  expect_fused_on_every_element<double>();
}

TEST_P(AxpySliceTest, ZeroAlphaLeavesOutputExceptWhereXIsNotFinite) {
  std::vector<float> x(21, 5.0f);
  x[2] = std::numeric_limits<float>::quiet_NaN();
  x[19] = -std::numeric_limits<float>::infinity();  // in the masked tail
  std::vector<float> out(21);
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = float(i) + 0.5f;
  const std::vector<float> before = out;
  axpy_slice(0.0f, x, out);
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (i == 2 || i == 19) {
      EXPECT_TRUE(std::isnan(out[i])) << i;
    } else {
      EXPECT_EQ(out[i], before[i]) << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllTiers, AxpySliceTest, ::testing::ValuesIn(all_tiers), TierName());

}  // namespace
}  // namespace kavo_ops::test_support
