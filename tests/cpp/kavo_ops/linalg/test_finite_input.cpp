#include <gtest/gtest.h>

#include <cstddef>
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

}  // namespace
}  // namespace kavo_ops
