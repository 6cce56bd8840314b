#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kavo_ops/reduction/trace.h"

namespace kavo_ops {
namespace {

kavo::View<double, 2> matrix(const std::vector<double>& storage, std::uint64_t rows, std::uint64_t cols,
                             std::int64_t row_stride, std::int64_t col_stride, std::uint64_t offset = 0) {
  return {storage.data(), storage.size(), kavo::Layout<2>{{rows, cols}, {row_stride, col_stride}, offset}};
}

TEST(Trace, SmallOrders) {
  const std::vector<double> one = {-2.5};
  EXPECT_EQ(*trace(matrix({}, 0, 0, 0, 1)), 0.0);
  EXPECT_EQ(*trace(matrix(one, 1, 1, 1, 1)), -2.5);
  // Huge strides never matter for a 1 x 1 matrix.
  EXPECT_EQ(*trace(matrix(one, 1, 1, std::int64_t{1} << 62, std::int64_t{1} << 62)), -2.5);
}

// Strict index order from 0.0: 1 is absorbed by 1e17 before -1e17 cancels it
// (any other order would give 1).
TEST(Trace, SumsTheDiagonalStrictlyInIndexOrder) {
  const std::vector<double> diagonal = {1.0, 1e17, -1e17, 0.5};
  const std::uint64_t n = diagonal.size();
  std::vector<double> row_major(n * n, 99.0);
  for (std::uint64_t i = 0; i < n; ++i) row_major[i * n + i] = diagonal[i];
  const double expected = (((0.0 + 1.0) + 1e17) + -1e17) + 0.5;
  ASSERT_EQ(expected, 0.5);
  EXPECT_EQ(*trace(matrix(row_major, n, n, std::int64_t(n), 1)), expected);
  // The transpose has the same diagonal; so has the same matrix laid out
  // backwards in memory and read through negative strides.
  EXPECT_EQ(*trace(matrix(row_major, n, n, 1, std::int64_t(n))), expected);
  std::vector<double> reversed(row_major.rbegin(), row_major.rend());
  EXPECT_EQ(*trace(matrix(reversed, n, n, -std::int64_t(n), -1, n * n - 1)), expected);
  // Reading the diagonal backwards (a view of the 180-degree rotation) sums
  // in the other order and so keeps the 1.
  EXPECT_EQ(*trace(matrix(row_major, n, n, -std::int64_t(n), -1, n * n - 1)), (((0.0 + 0.5) + -1e17) + 1e17) + 1.0);
  EXPECT_EQ((((0.0 + 0.5) + -1e17) + 1e17) + 1.0, 1.0);
  // Inside a wider storage with an offset.
  std::vector<double> wide(3 + n * 7, 0.0);
  for (std::uint64_t i = 0; i < n; ++i) wide[3 + i * 7 + i] = diagonal[i];
  EXPECT_EQ(*trace(matrix(wide, n, n, 7, 1, 3)), expected);
}

TEST(Trace, ErrorsAreReturned) {
  const std::vector<double> storage(9, 1.0);
  struct Case {
    kavo::View<double, 2> view;
    std::string message;
  };
  const Case cases[] = {
      {matrix(storage, 2, 3, 3, 1), "Shape mismatch: lhs [2, 3], rhs [2, 2]"},
      {matrix(storage, 3, 2, 2, 1), "Shape mismatch: lhs [3, 2], rhs [3, 3]"},
      {matrix(storage, 0, 1, 1, 1), "Shape mismatch: lhs [0, 1], rhs [0, 0]"},
      {matrix(std::vector<double>(8), 3, 3, 3, 1),
       "Storage error: storage length 8 does not cover layout physical offsets 0..=8"},
      {matrix(storage, 3, 3, -3, 1), "Storage error: layout accesses negative physical offset -6"},
  };
  for (const auto& c : cases) {
    const auto result = trace(c.view);
    ASSERT_FALSE(result.has_value()) << c.message;
    EXPECT_EQ(result.error().display(), c.message);
  }
}

}  // namespace
}  // namespace kavo_ops
