#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "kavo_ops/reduction/whole_array_sum.h"
#include "kavo_ops/slice_kernels/sum_slice.h"
#include "support/random_data.h"
#include "support/tier_fixture.h"

namespace kavo_ops::test_support {
using namespace tier_testing;
using test_data::spread_values;
namespace {

using Shape = std::vector<std::uint64_t>;
using StrideList = std::vector<std::int64_t>;

std::uint32_t bits(float v) { return std::bit_cast<std::uint32_t>(v); }

// Builds the fixed-rank view the callers use and sums it.
template <std::size_t Rank>
kavo::Expected<float> sum_fixed(const std::vector<float>& storage, const Shape& shape, const StrideList& strides,
                                std::uint64_t offset) {
  kavo::Layout<Rank> layout;
  std::copy(shape.begin(), shape.end(), layout.shape.begin());
  std::copy(strides.begin(), strides.end(), layout.strides.begin());
  layout.offset = offset;
  return whole_array_sum(kavo::View<float, Rank>{storage.data(), storage.size(), layout});
}

kavo::Expected<float> sum_of(const std::vector<float>& storage, const Shape& shape, const StrideList& strides,
                             std::uint64_t offset) {
  switch (shape.size()) {
    case 1: return sum_fixed<1>(storage, shape, strides, offset);
    case 2: return sum_fixed<2>(storage, shape, strides, offset);
    case 3: return sum_fixed<3>(storage, shape, strides, offset);
    case 4: return sum_fixed<4>(storage, shape, strides, offset);
    case 5: return sum_fixed<5>(storage, shape, strides, offset);
    case 6: return sum_fixed<6>(storage, shape, strides, offset);
  }
  ADD_FAILURE() << "rank " << shape.size();
  return 0.0f;
}

// Lane-by-lane model: lanes along the last axis in row-major order of the
// leading axes; unit-stride lanes (either direction) are summed as one run
// in memory order and added to the total; other lanes continue the total
// element by element.
float lane_model(const std::vector<float>& storage, const Shape& shape, const StrideList& strides,
                 std::uint64_t offset) {
  const std::size_t last = shape.size() - 1;
  std::vector<std::uint64_t> index(shape.size(), 0);
  bool has_total = false;
  float total = 0.0f;
  while (true) {
    std::int64_t first = std::int64_t(offset);
    for (std::size_t k = 0; k < last; ++k) first += std::int64_t(index[k]) * strides[k];
    const std::int64_t n = std::int64_t(shape[last]);
    const std::int64_t s = strides[last];
    if (s == 1 || s == -1) {
      const std::int64_t low = s == 1 ? first : first - (n - 1);
      const float lane = sum_slice(std::span<const float>(storage.data() + low, std::size_t(n)));
      total = has_total ? total + lane : lane;
    } else {
      for (std::int64_t j = 0; j < n; ++j) total = total + storage[std::size_t(first + j * s)];
    }
    has_total = true;
    std::size_t axis = last;
    while (axis > 0 && ++index[axis - 1] == shape[axis - 1]) index[--axis] = 0;
    if (axis == 0) break;
  }
  return total;
}

double double_reference(const std::vector<float>& storage, const Shape& shape, const StrideList& strides,
                        std::uint64_t offset, double& magnitude) {
  std::vector<std::uint64_t> index(shape.size(), 0);
  double sum = 0.0;
  magnitude = 0.0;
  while (true) {
    std::int64_t position = std::int64_t(offset);
    for (std::size_t k = 0; k < shape.size(); ++k) position += std::int64_t(index[k]) * strides[k];
    sum += storage[std::size_t(position)];
    magnitude += std::abs(storage[std::size_t(position)]);
    std::size_t axis = shape.size();
    while (axis > 0 && ++index[axis - 1] == shape[axis - 1]) index[--axis] = 0;
    if (axis == 0) break;
  }
  return sum;
}

struct SumCase {
  const char* what;
  Shape shape;
  StrideList strides;
  std::uint64_t offset;
  std::uint64_t storage_len;
  bool contiguous;  // fast path: one sum_slice over [offset, offset + size)
};

const SumCase sum_cases[] = {
    {"rank 1", {1000}, {1}, 0, 1000, true},
    {"rank 2 row-major inside a larger storage", {37, 53}, {53, 1}, 5, 37 * 53 + 9, true},
    {"rank 2 column-major (memory order)", {37, 53}, {1, 37}, 0, 37 * 53, true},
    {"rank 3 row-major", {4, 5, 6}, {30, 6, 1}, 0, 120, true},
    {"rank 4 column-major", {3, 4, 5, 6}, {1, 3, 12, 60}, 2, 362, true},
    {"rank 5 row-major", {2, 3, 2, 3, 5}, {90, 30, 15, 5, 1}, 0, 180, true},
    {"rank 6 row-major", {2, 3, 2, 3, 2, 3}, {108, 36, 18, 6, 3, 1}, 0, 216, true},
    {"extent-1 axis with any stride", {1, 50}, {999, 1}, 0, 50, true},
    {"rank 1 reversed: one lane, stride -1", {100}, {-1}, 99, 100, false},
    {"rows of a wider storage: lanes of stride 1", {7, 19}, {25, 1}, 3, 7 * 25 + 3, false},
    {"reversed rows: lanes of stride -1", {7, 19}, {25, -1}, 21, 7 * 25 + 3, false},
    {"negative leading stride", {4, 5, 6}, {-30, 6, 1}, 90, 120, false},
    {"transpose of a row-major matrix is column-major", {53, 37}, {1, 53}, 0, 37 * 53, true},
    {"transposed rows of a wider storage: lanes of stride 60", {53, 37}, {1, 60}, 4, 37 * 60, false},
    {"every other element: lanes of stride 2", {5, 33}, {70, 2}, 1, 350, false},
    {"broadcast lane: stride 0", {3, 4}, {1, 0}, 0, 3, false},
    {"rank 6 with stride-2 lanes", {2, 2, 2, 2, 2, 3}, {96, 48, 24, 12, 6, 2}, 0, 192, false},
    {"rank 6 with reversed lanes", {2, 2, 2, 2, 2, 3}, {96, 48, 24, 12, 6, -1}, 2, 192, false},
    {"rank 4 permuted axes", {6, 5, 4, 3}, {60, 1, 15, 5}, 0, 360, false},
};

class WholeArraySumTest : public TierTest {};

TEST_P(WholeArraySumTest, FollowsTheFastPathOrTheLaneStructure) {
  for (const SumCase& c : sum_cases) {
    SCOPED_TRACE(c.what);
    const std::vector<float> storage = spread_values<float>(c.storage_len, 17);
    const auto got = sum_of(storage, c.shape, c.strides, c.offset);
    ASSERT_TRUE(got.has_value()) << got.error().display();
    std::uint64_t count = 1;
    for (auto e : c.shape) count *= e;
    const float expected = c.contiguous
                               ? sum_slice(std::span<const float>(storage.data() + c.offset, count))
                               : lane_model(storage, c.shape, c.strides, c.offset);
    EXPECT_EQ(bits(*got), bits(expected)) << *got << " vs " << expected;
    double magnitude = 0.0;
    const double reference = double_reference(storage, c.shape, c.strides, c.offset, magnitude);
    EXPECT_LE(std::abs(double(*got) - reference), double(count) * std::ldexp(1.0, -24) * magnitude);
  }
}

TEST_P(WholeArraySumTest, EmptyArraysSumToZeroWithoutLookingAtTheLayout) {
  const std::vector<float> storage(4, 1.0f);
  EXPECT_EQ(*sum_of(storage, {0, 4}, {4, 1}, 0), 0.0f);
  EXPECT_EQ(*sum_of(storage, {2, 0, 3}, {-100, 7, 1}, 1000), 0.0f);
  // Leading extents whose product overflows before the zero is reached.
  EXPECT_EQ(*sum_of(storage, {1ull << 40, 1ull << 40, 0}, {0, 0, 1}, 0), 0.0f);
  EXPECT_EQ(*sum_of({}, {0}, {1}, 0), 0.0f);
}

TEST_P(WholeArraySumTest, TwoToTheTwentyFourPlusOneOnesAreReproducible) {
  // 2^24 + 1 = 97 * 172961: the same window row-major and column-major.
  const std::vector<float> ones((std::size_t{1} << 24) + 1, 1.0f);
  const auto row_major = sum_of(ones, {97, 172961}, {172961, 1}, 0);
  const auto column_major = sum_of(ones, {97, 172961}, {1, 97}, 0);
  const auto flat = sum_of(ones, {ones.size()}, {1}, 0);
  ASSERT_TRUE(row_major && column_major && flat);
  EXPECT_EQ(*row_major, 16777216.0f);
  EXPECT_EQ(bits(*row_major), bits(*column_major));
  EXPECT_EQ(bits(*row_major), bits(*flat));
  EXPECT_EQ(bits(*sum_of(ones, {97, 172961}, {172961, 1}, 0)), bits(*row_major));
}

TEST_P(WholeArraySumTest, InfinitiesOfBothSignsGiveNaN) {
  std::vector<float> storage(12, 1.0f);
  storage[1] = std::numeric_limits<float>::infinity();
  storage[10] = -std::numeric_limits<float>::infinity();
  EXPECT_TRUE(std::isnan(*sum_of(storage, {3, 4}, {4, 1}, 0)));
  EXPECT_TRUE(std::isnan(*sum_of(storage, {3, 4}, {1, 3}, 0)));  // lane path
}

INSTANTIATE_TEST_SUITE_P(AllTiers, WholeArraySumTest, ::testing::ValuesIn(all_tiers), TierName());

struct ErrorCase {
  const char* what;
  Shape shape;
  StrideList strides;
  std::uint64_t offset;
  std::uint64_t storage_len;
  std::string message;
};

TEST(WholeArraySum, LayoutErrorsAreReturned) {
  const ErrorCase cases[] = {
      {"storage too short", {3, 4}, {4, 1}, 0, 11,
       "Storage error: storage length 11 does not cover layout physical offsets 0..=11"},
      {"offset past the storage", {2}, {1}, 10, 11,
       "Storage error: storage length 11 does not cover layout physical offsets 10..=11"},
      {"negative position", {2, 3}, {3, -1}, 0, 6, "Storage error: layout accesses negative physical offset -2"},
      {"size overflow", {1ull << 32, 1ull << 32}, {0, 0}, 0, 1,
       "Arithmetic overflow in layout calculations: layout shape product"},
      {"span overflow", {3, 2}, {std::int64_t{1} << 62, 1}, 0, 1,
       "Arithmetic overflow in layout calculations: layout dimension bound multiplication"},
  };
  for (const auto& c : cases) {
    const std::vector<float> storage(c.storage_len, 1.0f);
    const auto result = sum_of(storage, c.shape, c.strides, c.offset);
    ASSERT_FALSE(result.has_value()) << c.what;
    EXPECT_EQ(result.error().display(), c.message) << c.what;
  }
}

}  // namespace
}  // namespace kavo_ops::test_support
