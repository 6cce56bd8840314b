#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <random>
#include <vector>

#include "../../support/tier_fixture.h"
#include "kavo/constructors/constructors.h"
#include "kavo_ops/linalg/cholesky/cholesky.h"
#include "kavo_ops/slice_kernels/dot_slice.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {
namespace {

kavo::View<double, 2> row_major(const std::vector<double>& storage, std::uint64_t rows, std::uint64_t cols) {
  return {storage.data(), storage.size(), {{rows, cols}, {static_cast<std::int64_t>(cols), 1}, 0}};
}

TEST(CholeskyFactor, ReadsTheLowerTriangleOfAnyLayout) {
  // [[4, 100], [2, 5]] stored column-major: the factor must see logical order.
  std::vector<double> column_major = {4, 2, 100, 5};
  kavo::View<double, 2> view{column_major.data(), 4, {{2, 2}, {1, 2}, 0}};
  auto l = cholesky_factor(view);
  ASSERT_TRUE(l);
  EXPECT_EQ(std::vector<double>(l->data(), l->data() + 4), (std::vector<double>{2, 0, 1, 2}));
}

TEST(CholeskyFactor, PivotFailuresNameTheirRow) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    std::vector<double> a;
    std::uint64_t n;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{0.0}, 1, "Storage error: Cholesky pivot 0 is non-positive: matrix is not positive-definite"},
      {{1, 1, 1, 1}, 2, "Storage error: Cholesky pivot 1 is non-positive: matrix is not positive-definite"},
      // 1e300 / sqrt(1e-300) overflows inside L; the NaN candidate must not pass.
      {{1e-300, 0, 1e300, 0, 1, 0, 1e300, 0, 1}, 3,
       "Storage error: Cholesky pivot 2 is non-positive: matrix is not positive-definite"},
      {{1, nan, 0, 1}, 2, "Storage error: Cholesky input contains a non-finite value"},
      {{1, 2, 3, 4, 5, 6}, 2, "Shape mismatch: lhs [2, 3], rhs [2, 2]"},
  };
  for (const auto& c : cases) {
    auto l = cholesky_factor(row_major(c.a, c.n, c.a.size() / c.n));
    ASSERT_FALSE(l);
    EXPECT_EQ(l.error().display(), c.message);
  }
}

TEST(CholeskySolveInPlace, ForwardThenBackwardAndShortVectorsAreInvariantFailures) {
  std::vector<double> a = {4, 2, 2, 5};  // L = [[2, 0], [1, 2]]
  auto l = cholesky_factor(row_major(a, 2, 2));
  ASSERT_TRUE(l);
  std::vector<double> x = {8, 13};  // b; overwritten with x
  cholesky_solve_in_place(*l, x);
  EXPECT_NEAR(4 * x[0] + 2 * x[1], 8, 1e-14);
  EXPECT_NEAR(2 * x[0] + 5 * x[1], 13, 1e-14);
  std::vector<double> short_vector = {1};
  EXPECT_THROW(cholesky_solve_in_place(*l, short_vector), platform::InvariantFailure);
}

TEST(CholeskyInverse, IsNotSymmetrizedButInverts) {
  std::vector<double> a = {4, 2, 0, 2, 5, 1, 0, 1, 3};
  auto inverse = cholesky_inverse(row_major(a, 3, 3));
  ASSERT_TRUE(inverse);
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      double product = 0;
      for (int k = 0; k < 3; ++k) product += a[i * 3 + k] * inverse->data()[k * 3 + j];
      EXPECT_NEAR(product, i == j ? 1.0 : 0.0, 1e-15);
    }
  }
}

class CholeskyTiers : public tier_testing::TierTest {};

// The inverse solves its unit columns in groups and leaves out the zero
// prefix the unit columns share; each column must still equal the lone solve
// of e_c bit for bit (zero signs included), across group boundaries, partial
// groups and skipped prefixes. The banded matrices put exact zeros into L,
// where a changed summation could only show as a zero's sign.
TEST_P(CholeskyTiers, InverseColumnsEqualLoneSolvesBitForBit) {
  std::mt19937_64 rng(17);
  std::normal_distribution<double> normal;
  for (std::uint64_t bandwidth : {~std::uint64_t{0}, std::uint64_t{2}}) {
    for (std::uint64_t n : {0u, 1u, 15u, 16u, 37u, 70u, 131u}) {
      std::vector<double> m(n * n, 0.0), a(n * n, 0.0);
      for (std::uint64_t i = 0; i < n; ++i)
        for (std::uint64_t k = 0; k < n; ++k)
          if (i - k <= bandwidth || k - i <= bandwidth) m[i * n + k] = normal(rng);
      for (std::uint64_t i = 0; i < n; ++i)
        for (std::uint64_t j = 0; j < n; ++j) {
          for (std::uint64_t k = 0; k < n; ++k) a[i * n + j] += m[i * n + k] * m[j * n + k];
          if (i == j) a[i * n + j] += 1.0;
        }
      auto factor = cholesky_factor(row_major(a, n, n));
      ASSERT_TRUE(factor);
      // The groups on the calling thread, and (order 2) on the executor.
      for (std::uint64_t parallel_order : {cholesky_inverse_parallel_order(), std::uint64_t{2}}) {
        auto inverse = cholesky_inverse(row_major(a, n, n), parallel_order);
        ASSERT_TRUE(inverse);
        for (std::uint64_t c = 0; c < n; ++c) {
          std::vector<double> x(n, 0.0);
          x[c] = 1.0;
          cholesky_solve_in_place(*factor, x);
          for (std::uint64_t r = 0; r < n; ++r)
            ASSERT_EQ(std::bit_cast<std::uint64_t>(inverse->data()[r * n + c]), std::bit_cast<std::uint64_t>(x[r]))
                << n << ": " << r << "," << c << ", parallel from " << parallel_order;
        }
      }
    }
  }
}

// The plain row loop: per entry one dot_slice, a subtraction, then a
// division or a square root; rows in order.
std::optional<std::vector<double>> plain_cholesky(std::vector<double> a, std::uint64_t n, std::uint64_t& failed_row) {
  for (std::uint64_t i = 0; i < n; ++i) {
    for (std::uint64_t j = 0; j <= i; ++j) {
      const double x = a[i * n + j] - dot_slice(std::span<const double>(a.data() + i * n, j),
                                                std::span<const double>(a.data() + j * n, j));
      if (j < i) {
        a[i * n + j] = x / a[j * n + j];
      } else if (!(x > 0.0)) {
        failed_row = i;
        return std::nullopt;
      } else {
        a[i * n + i] = std::sqrt(x);
      }
    }
    for (std::uint64_t j = i + 1; j < n; ++j) a[i * n + j] = 0.0;
  }
  return a;
}

TEST_P(CholeskyTiers, GroupedRowsEqualThePlainRowLoopBitForBit) {
  std::mt19937_64 rng(29);
  std::normal_distribution<double> normal;
  for (std::uint64_t n : {1u, 5u, 6u, 7u, 13u, 24u, 25u, 64u, 101u}) {
    std::vector<double> m(n * n), a(n * n, 0.0);
    for (double& value : m) value = normal(rng);
    for (std::uint64_t i = 0; i < n; ++i)
      for (std::uint64_t j = 0; j < n; ++j) {
        for (std::uint64_t k = 0; k < n; ++k) a[i * n + j] += m[i * n + k] * m[j * n + k];
        if (i == j) a[i * n + j] += 0.5;
      }
    std::uint64_t failed = 0;
    const auto expected = plain_cholesky(a, n, failed);
    ASSERT_TRUE(expected.has_value());
    auto got = cholesky_factor(row_major(a, n, n));
    ASSERT_TRUE(got);
    ASSERT_EQ(std::vector<double>(got->data(), got->data() + n * n), *expected) << n;
    // A pivot that fails inside the first group or a later one is still the
    // one reported.
    for (std::uint64_t row : {8u, 30u}) {
      if (row >= n) continue;
      std::vector<double> broken = a;
      broken[row * n + row] = -1.0;
      const auto plain = plain_cholesky(broken, n, failed);
      ASSERT_FALSE(plain.has_value());
      auto error = cholesky_factor(row_major(broken, n, n));
      ASSERT_FALSE(error);
      EXPECT_EQ(error.error().display(), "Storage error: Cholesky pivot " + std::to_string(failed) +
                                             " is non-positive: matrix is not positive-definite");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllTiers, CholeskyTiers, ::testing::ValuesIn(tier_testing::all_tiers), tier_testing::TierName());

}  // namespace
}  // namespace kavo_ops
