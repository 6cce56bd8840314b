#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <set>

#include "kavo/layout/injectivity.h"

namespace kavo {
namespace {

using Shape = std::vector<std::uint64_t>;
using StrideList = std::vector<std::int64_t>;

// Brute force: visit every index and look for a repeated position.
bool injective_by_enumeration(const Shape& shape, const StrideList& strides) {
  std::set<std::int64_t> seen;
  std::vector<std::uint64_t> index(shape.size(), 0);
  for (auto e : shape)
    if (e == 0) return true;
  for (;;) {
    std::int64_t position = 0;
    for (std::size_t k = 0; k < shape.size(); ++k) position += static_cast<std::int64_t>(index[k]) * strides[k];
    if (!seen.insert(position).second) return false;
    std::size_t axis = shape.size();
    while (axis > 0) {
      --axis;
      if (++index[axis] < shape[axis]) break;
      index[axis] = 0;
      if (axis == 0) return true;
    }
    if (shape.empty()) return true;
  }
}

struct Case {
  Shape shape;
  StrideList strides;
  bool injective;
};

TEST(IsInjective, FastAndExactPaths) {
  const std::vector<Case> cases = {
      {{3, 4}, {4, 1}, true},      // fast: row-major
      {{3, 4}, {1, 3}, true},      // fast: column-major
      {{3, 4}, {-4, -1}, true},    // fast: reversed
      {{2, 2}, {1, 1}, false},     // exact: equal magnitudes collide
      {{3}, {0}, false},           // fast: live zero stride
      {{2, 3}, {2, 1}, false},     // exact: (0, 2) and (1, 0) meet at 2
      {{2, 3}, {3, 1}, true},
      {{1, 5}, {0, 1}, true},      // extent-1 axis ignored
      {{2, 2}, {2, 1}, true},
      {{2, 2}, {-1, 1}, false},
      {{0, 7}, {0, 0}, true},      // empty
      {{}, {}, true},              // rank 0
      {{3, 3}, {3, 2}, true},      // exact search finds nothing: 3a + 2b = 0 needs |a| = 2, |b| = 3
      {{3, 4}, {3, 2}, false},     // ... while a 4th column makes (2, -3) reachable
  };
  for (const auto& c : cases) {
    auto answer = is_injective(c.shape, c.strides);
    ASSERT_TRUE(answer) << answer.error().display();
    EXPECT_EQ(*answer, c.injective) << testing::PrintToString(c.shape) << testing::PrintToString(c.strides);
    EXPECT_EQ(injective_by_enumeration(c.shape, c.strides), c.injective);
  }
}

TEST(IsInjective, AgreesWithEnumerationOnRandomSmallLayouts) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> rank_of(1, 4), extent_of(1, 4), stride_of(-6, 6);
  for (int trial = 0; trial < 3000; ++trial) {
    Shape shape(rank_of(rng));
    StrideList strides(shape.size());
    for (std::size_t k = 0; k < shape.size(); ++k) {
      shape[k] = extent_of(rng);
      strides[k] = stride_of(rng);
    }
    auto answer = is_injective(shape, strides);
    ASSERT_TRUE(answer);
    ASSERT_EQ(*answer, injective_by_enumeration(shape, strides))
        << testing::PrintToString(shape) << testing::PrintToString(strides);
  }
}

TEST(IsInjective, OverflowReasons) {
  constexpr std::int64_t big = std::numeric_limits<std::int64_t>::max();
  const std::uint64_t huge = std::uint64_t{1} << 62;
  auto reason = [](const Expected<bool>& r) -> std::string {
    if (r) return "no error";
    auto overflow = r.error().get_if<Overflow>();
    return overflow ? std::string(overflow->reason) : r.error().display();
  };
  EXPECT_EQ(reason(is_injective(Shape{huge, huge}, StrideList{1, 1})), "layout shape product");
  EXPECT_EQ(reason(is_injective(Shape{5}, StrideList{big})), "layout injectivity axis span");
  // covered = 2 after the first axis, then 2 + 2 * (2^63 - 1) = 2^64.
  EXPECT_EQ(reason(is_injective(Shape{3, 3}, StrideList{1, big})),
            "layout injectivity covered span");
}

}  // namespace
}  // namespace kavo
