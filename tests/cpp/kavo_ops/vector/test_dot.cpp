#include <gtest/gtest.h>

#include <bit>
#include <string>
#include <vector>

#include "kavo_ops/slice_kernels/dot_slice.h"
#include "kavo_ops/vector/dot.h"
#include "support/random_data.h"
#include "support/tier_fixture.h"

namespace kavo_ops::test_support {
using namespace tier_testing;
using test_data::spread_values;
namespace {

kavo::View<float, 1> vec(const std::vector<float>& storage, std::uint64_t n, std::int64_t stride,
                         std::uint64_t offset = 0) {
  return {storage.data(), storage.size(), kavo::Layout<1>{{n}, {stride}, offset}};
}

std::uint32_t bits(float v) { return std::bit_cast<std::uint32_t>(v); }

// result = result + a[i] * b[i] from 0, each step rounded separately.
float sequential_model(const kavo::View<float, 1>& a, const kavo::View<float, 1>& b) {
  float result = 0.0f;
  for (std::uint64_t i = 0; i < a.layout.shape[0]; ++i) {
    const float product = a.data[a.layout.offset + std::int64_t(i) * a.layout.strides[0]] *
                          b.data[b.layout.offset + std::int64_t(i) * b.layout.strides[0]];
    result = result + product;
  }
  return result;
}

class DotTest : public TierTest {};

TEST_P(DotTest, UnitStrideRunsUseTheSliceKernel) {
  const std::vector<float> a = spread_values<float>(1013, 1);
  const std::vector<float> b = spread_values<float>(1020, 2);
  const auto got = dot(vec(a, 1013, 1), vec(b, 1013, 1, 7));
  ASSERT_TRUE(got.has_value());
  EXPECT_EQ(bits(*got), bits(dot_slice(std::span<const float>(a.data(), 1013),
                                       std::span<const float>(b.data() + 7, 1013))));
  // Sanity: this length sums differently from the sequential order.
  EXPECT_NE(bits(*got), bits(sequential_model(vec(a, 1013, 1), vec(b, 1013, 1, 7))));
}

TEST_P(DotTest, StridedViewsSumSequentially) {
  const std::vector<float> a = spread_values<float>(2 * 500, 3);
  const std::vector<float> b = spread_values<float>(500, 4);
  const struct {
    kavo::View<float, 1> a, b;
  } cases[] = {
      {vec(a, 500, 2), vec(b, 500, 1)},
      {vec(a, 500, 1), vec(b, 500, -1, 499)},
      {vec(a, 500, -2, 999), vec(b, 500, 1)},
      {vec(a, 3, 0, 5), vec(b, 3, 1)},  // a broadcast scalar
  };
  for (const auto& c : cases) {
    const auto got = dot(c.a, c.b);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(bits(*got), bits(sequential_model(c.a, c.b)));
  }
}

TEST_P(DotTest, LengthOneAndEmptyVectors) {
  const std::vector<float> a = {3.0f, -0.5f}, b = {0.0f, 0.0f, 4.0f};
  EXPECT_EQ(*dot(vec(a, 1, 9, 1), vec(b, 1, -4, 2)), -2.0f);
  EXPECT_EQ(*dot(vec({}, 0, 1), vec({}, 0, 1)), 0.0f);
  EXPECT_EQ(*dot(vec(a, 0, 1, 7), vec(b, 0, 3, 9)), 0.0f);
}

INSTANTIATE_TEST_SUITE_P(AllTiers, DotTest, ::testing::ValuesIn(all_tiers), TierName());

TEST(Dot, ErrorsAreReturnedLengthsFirst) {
  const std::vector<float> s3(3), s4(4);
  const struct {
    kavo::View<float, 1> a, b;
    std::string message;
  } cases[] = {
      {vec(s3, 3, 1), vec(s4, 4, 1), "Shape mismatch: lhs [3], rhs [4]"},
      {vec(s3, 3, 5), vec(s4, 4, 1), "Shape mismatch: lhs [3], rhs [4]"},  // before the storage checks
      {vec(s3, 4, 1), vec(s4, 4, 1), "Storage error: storage length 3 does not cover layout physical offsets 0..=3"},
      {vec(s4, 3, 1), vec(s3, 3, -1), "Storage error: layout accesses negative physical offset -2"},
      {vec(s4, 2, std::int64_t{1} << 62, 1ull << 63), vec(s4, 2, 1),
       "Arithmetic overflow in layout calculations: layout base offset conversion"},
  };
  for (const auto& c : cases) {
    const auto result = dot(c.a, c.b);
    ASSERT_FALSE(result.has_value()) << c.message;
    EXPECT_EQ(result.error().display(), c.message);
  }
}

}  // namespace
}  // namespace kavo_ops::test_support
