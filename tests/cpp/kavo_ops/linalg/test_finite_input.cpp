#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "kavo_ops/linalg/common/finite_input.h"

namespace kavo_ops {
namespace {

// The screen works in chunks and vector steps; one bad value at any place
// (first, inside a step, a chunk's edges, the scalar tail) must be seen.
TEST(RequireFinite, FindsOneNonFiniteValueAnywhere) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (std::size_t size : {1u, 3u, 4u, 7u, 255u, 256u, 257u, 1030u}) {
    std::vector<double> values(size, -1.5e308);
    EXPECT_TRUE(require_finite(values, "Test")) << size;
    for (std::size_t at : {std::size_t{0}, size / 2, size - 1, std::size_t{255}, std::size_t{256}}) {
      if (at >= size) continue;
      for (double bad : {inf, -inf, nan}) {
        std::vector<double> broken = values;
        broken[at] = bad;
        auto result = require_finite(broken, "Test");
        ASSERT_FALSE(result) << size << " " << at;
        EXPECT_EQ(result.error().display(), "Storage error: Test input contains a non-finite value");
      }
    }
  }
  EXPECT_TRUE(require_finite({}, "Test"));
}

// A view is screened over its own elements only: a bad value inside the
// window is found, one outside it (before the offset, between strided rows
// or columns, past the end) is not looked at.
TEST(AllFinite, ScreensExactlyTheViewsElements) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> storage(64, 2.0);
  struct Case {
    const char* name;
    kavo::Layout<2> layout;  // 3 x 4 elements out of `storage`
  };
  const Case cases[] = {
      {"contiguous window", {{3, 4}, {4, 1}, 5}},
      {"padded rows", {{3, 4}, {9, 1}, 2}},
      {"column stride", {{3, 4}, {12, 2}, 1}},
      {"transposed", {{3, 4}, {1, 5}, 0}},
  };
  for (const Case& c : cases) {
    const kavo::View<double, 2> view{storage.data(), storage.size(), c.layout};
    std::vector<bool> inside(storage.size(), false);
    for (std::uint64_t i = 0; i < 3; ++i) {
      for (std::uint64_t j = 0; j < 4; ++j) {
        inside[c.layout.offset + i * c.layout.strides[0] + j * c.layout.strides[1]] = true;
      }
    }
    EXPECT_TRUE(all_finite(view)) << c.name;
    for (std::size_t at = 0; at < storage.size(); ++at) {
      storage[at] = nan;
      EXPECT_EQ(all_finite(view), !inside[at]) << c.name << " " << at;
      storage[at] = 2.0;
    }
  }
}

}  // namespace
}  // namespace kavo_ops
