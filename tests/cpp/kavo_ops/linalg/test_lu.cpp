#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "kavo_ops/linalg/lu/lu.h"
#include "kavo_ops/linalg/lu/lu_eliminate.h"
#include "platform/invariant_failure.h"
#include "support/tier_fixture.h"

namespace kavo_ops {
namespace {

constexpr double kEps = std::numeric_limits<double>::epsilon();

kavo::View<double, 2> row_major(const std::vector<double>& storage, std::uint64_t rows, std::uint64_t cols) {
  return {storage.data(), storage.size(), {{rows, cols}, {static_cast<std::int64_t>(cols), 1}, 0}};
}

// Standard normal entries; with `zero_fraction` some are exact zeros (and
// some negative zeros), so zero multipliers and signed zeros reach every step.
std::vector<double> random_matrix(std::uint64_t n, std::uint64_t seed, double zero_fraction = 0.0) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> normal;
  std::uniform_real_distribution<double> uniform;
  std::vector<double> a(n * n);
  for (double& x : a) {
    x = normal(rng);
    if (uniform(rng) < zero_fraction) x = uniform(rng) < 0.5 ? 0.0 : -0.0;
  }
  return a;
}

// The elimination loops' starting state: a copy of `a`, identity perm, sign +1.
LuFactors fresh_factors(const std::vector<double>& a, std::uint64_t n) {
  kavo::Buffer<double> storage(n * n);
  std::copy(a.begin(), a.end(), storage.data());
  kavo::Buffer<std::uint64_t> perm(n);
  for (std::uint64_t i = 0; i < n; ++i) perm[i] = i;
  return {kavo::OwnedArray<double, 2>(std::move(storage), {{n, n}, {static_cast<std::int64_t>(n), 1}, 0}),
          std::move(perm), n, 1};
}

double frobenius(const std::vector<double>& m) {
  double sum = 0;
  for (double x : m) sum += x * x;
  return std::sqrt(sum);
}

// ||P A - L U||_F / (n eps ||A||_F), LAPACK's factorization test ratio.
double factor_ratio(const std::vector<double>& a, const LuFactors& lu) {
  const std::uint64_t n = lu.n;
  if (n == 0) return 0;
  const double* f = lu.factors.data();
  std::vector<double> diff(n * n);
  for (std::uint64_t i = 0; i < n; ++i) {
    for (std::uint64_t j = 0; j < n; ++j) {
      double lu_ij = 0;
      for (std::uint64_t t = 0; t <= std::min(i, j); ++t) lu_ij += (t == i ? 1.0 : f[i * n + t]) * f[t * n + j];
      diff[i * n + j] = a[lu.perm[i] * n + j] - lu_ij;
    }
  }
  return frobenius(diff) / (n * kEps * frobenius(a));
}

bool same_bits(const LuFactors& x, const LuFactors& y) {
  return x.n == y.n && x.sign == y.sign && std::memcmp(x.factors.data(), y.factors.data(), x.n * x.n * 8) == 0 &&
         std::memcmp(x.perm.data(), y.perm.data(), x.n * 8) == 0;
}

bool is_identity(const kavo::Buffer<std::uint64_t>& perm) {
  for (std::uint64_t i = 0; i < perm.size(); ++i) {
    if (perm[i] != i) return false;
  }
  return true;
}

TEST(LuDecompose, SmallExamplesAndTies) {
  // [[1, 2], [-1, 3]]: |1| is not less than |-1|, so no exchange.
  std::vector<double> tie = {1, 2, -1, 3};
  auto lu = lu_decompose(row_major(tie, 2, 2));
  ASSERT_TRUE(lu);
  EXPECT_EQ(lu->sign, 1);
  EXPECT_EQ(std::vector<double>(lu->factors.data(), lu->factors.data() + 4), (std::vector<double>{1, 2, -1, 5}));
  // [[1, 2], [2, 3]]: exchanged; L21 = 0.5, U = [[2, 3], [0, 0.5]].
  std::vector<double> swap = {1, 2, 2, 3};
  lu = lu_decompose(row_major(swap, 2, 2));
  ASSERT_TRUE(lu);
  EXPECT_EQ(lu->sign, -1);
  EXPECT_EQ(lu->perm[0], 1u);
  EXPECT_EQ(std::vector<double>(lu->factors.data(), lu->factors.data() + 4), (std::vector<double>{2, 3, 0.5, 0.5}));
  // Equal magnitudes below the diagonal: the first of them wins.
  std::vector<double> later_tie = {1, 0, 0, -3, 1, 0, 3, 0, 1};
  lu = lu_decompose(row_major(later_tie, 3, 3));
  ASSERT_TRUE(lu);
  EXPECT_EQ(lu->perm[0], 1u);
  // Column-major input is read in logical order.
  std::vector<double> column_major = {1, 2, 2, 3};  // [[1, 2], [2, 3]] transposed storage
  kavo::View<double, 2> view{column_major.data(), 4, {{2, 2}, {1, 2}, 0}};
  EXPECT_EQ(lu_determinant(view).value(), -1.0);
}

TEST(LuDecompose, Failures) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::string singular = "Storage error: LU pivot column {} is exactly zero: matrix is singular";
  auto singular_at = [&](int column) {
    return singular.substr(0, singular.find("{}")) + std::to_string(column) + singular.substr(singular.find("{}") + 2);
  };
  struct Case {
    std::vector<double> a;
    std::uint64_t rows;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{0.0}, 1, singular_at(0)},
      {{1, 2, 2, 4}, 2, singular_at(1)},
      {{0, 1, 0, 0, 2, 0, 0, 3, 5}, 3, singular_at(0)},
      {{1, 2, 3, 1, 2, 3, 4, 5, 7}, 3, singular_at(2)},  // two equal rows
      {{1, nan, 0, 1}, 2, "Storage error: LU input contains a non-finite value"},
      {{0, 0, -inf, 0}, 2, "Storage error: LU input contains a non-finite value"},
      {{1, 2, 3, 4, 5, 6}, 2, "Shape mismatch: lhs [2, 3], rhs [2, 2]"},
  };
  for (const auto& c : cases) {
    const std::uint64_t cols = c.a.size() / c.rows;
    const auto view = row_major(c.a, c.rows, cols);
    auto lu = lu_decompose(view);
    ASSERT_FALSE(lu) << c.message;
    EXPECT_EQ(lu.error().display(), c.message);
    auto inverse = lu_inverse(view);
    ASSERT_FALSE(inverse);
    EXPECT_EQ(inverse.error().display(), c.message);
    auto d = lu_determinant(view);
    if (c.message.find("singular") != std::string::npos) {
      ASSERT_TRUE(d);
      EXPECT_EQ(d.value(), 0.0);
      EXPECT_FALSE(std::signbit(d.value()));
    } else {
      ASSERT_FALSE(d);
      EXPECT_EQ(d.error().display(), c.message);
    }
  }
}

TEST(LuDeterminant, ExactCases) {
  EXPECT_EQ(lu_determinant(row_major({}, 0, 0)).value(), 1.0);
  EXPECT_EQ(lu_determinant(row_major({-2.5}, 1, 1)).value(), -2.5);
  EXPECT_EQ(lu_determinant(row_major({1, 2, 2, 3}, 2, 2)).value(), -1.0);
  // Permutation matrices: +-1 exactly, by the parity of the permutation.
  std::vector<double> cycle3 = {0, 1, 0, 0, 0, 1, 1, 0, 0};
  EXPECT_EQ(lu_determinant(row_major(cycle3, 3, 3)).value(), 1.0);
  std::vector<double> swap4 = {0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  EXPECT_EQ(lu_determinant(row_major(swap4, 4, 4)).value(), -1.0);
  // Unscaled product: overflows to infinity rather than failing.
  std::vector<double> big = {1e200, 0, 0, 1e200};
  EXPECT_EQ(lu_determinant(row_major(big, 2, 2)).value(), std::numeric_limits<double>::infinity());
}

TEST(LuSolve, ExamplesLengthCheckAndShortVectors) {
  std::vector<double> a = {2, 1, 1, 3};
  std::vector<double> b = {3, 5};
  kavo::View<double, 1> b_view{b.data(), 2, {{2}, {1}, 0}};
  auto x = lu_solve(row_major(a, 2, 2), b_view);
  ASSERT_TRUE(x);
  EXPECT_NEAR((*x)[0], 0.8, 1e-15);
  EXPECT_NEAR((*x)[1], 1.4, 1e-15);

  std::vector<double> four = {1, 2, 3, 4};
  kavo::View<double, 1> long_b{four.data(), 4, {{4}, {1}, 0}};
  std::vector<double> eye3 = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  auto mismatch = lu_solve(row_major(eye3, 3, 3), long_b);
  ASSERT_FALSE(mismatch);
  EXPECT_EQ(mismatch.error().display(), "Shape mismatch: lhs [4], rhs [3]");
  // The factorization's errors come first, even with a wrong b.
  std::vector<double> zero = {0, 0, 0, 0};
  auto singular = lu_solve(row_major(zero, 2, 2), long_b);
  ASSERT_FALSE(singular);
  EXPECT_EQ(singular.error().display(), "Storage error: LU pivot column 0 is exactly zero: matrix is singular");

  auto lu = lu_decompose(row_major(a, 2, 2));
  std::vector<double> short_vector = {1};
  EXPECT_THROW(lu_solve_in_place(*lu, short_vector), platform::InvariantFailure);
}

// Both paths, the level-3 threshold forced on either side of n * n * 8, at
// sizes around the 64-column panel and the 64-column blocks of the column path.
TEST(LuDecompose, ResidualRatiosOnBothPathsAndTheThreshold) {
  for (std::uint64_t n : {1u, 2u, 3u, 5u, 10u, 50u, 63u, 64u, 65u, 128u, 130u, 200u}) {
    const auto a = random_matrix(n, 100 + n);
    const std::uint64_t bytes = n * n * 8;
    auto plain = fresh_factors(a, n);
    ASSERT_TRUE(lu_factor_columns(plain));
    auto column = lu_decompose(row_major(a, n, n), bytes);
    auto panel = lu_decompose(row_major(a, n, n), bytes - 1);
    ASSERT_TRUE(column && panel);
    EXPECT_LT(factor_ratio(a, *column), 30) << n;
    EXPECT_LT(factor_ratio(a, *panel), 30) << n;
    // At the threshold the column path runs, bit for bit the plain loop.
    EXPECT_TRUE(same_bits(*column, plain)) << n;
    if (n > kLuPanelWidth + 1) {
      // One byte below, the panel path: its row block of U is rounded differently.
      EXPECT_FALSE(same_bits(*panel, plain)) << n;
    }
  }
}

TEST(LuInverse, ReproducesTheIdentityAcrossRowBlocks) {
  for (std::uint64_t n : {0u, 1u, 3u, 8u, 63u, 64u, 65u, 129u, 200u}) {
    const auto a = random_matrix(n, 7 * n + 1);
    auto inverse = lu_inverse(row_major(a, n, n));
    ASSERT_TRUE(inverse);
    ASSERT_EQ(inverse->layout().shape, (kavo::Extents<2>{n, n}));
    if (n == 0) continue;
    const double* x = inverse->data();
    std::vector<double> residual(n * n), inv_copy(x, x + n * n);
    for (std::uint64_t i = 0; i < n; ++i) {
      for (std::uint64_t j = 0; j < n; ++j) {
        double sum = 0;
        for (std::uint64_t t = 0; t < n; ++t) sum += a[i * n + t] * x[t * n + j];
        residual[i * n + j] = sum - (i == j ? 1.0 : 0.0);
      }
    }
    // ||A X - I|| / (n eps ||A|| ||X||).
    EXPECT_LT(frobenius(residual) / (n * kEps * frobenius(a) * frobenius(inv_copy)), 30) << n;
  }
  std::vector<double> one = {4.0};
  EXPECT_EQ(lu_inverse(row_major(one, 1, 1))->data()[0], 0.25);
}

// Each column of the inverse is a lone solve of P e_c, bit for bit, on every
// tier, whichever group, batch, block of factor rows or thread computed it
// (n = 300 and 701 take several row blocks, 701 groups of six).
class LuInverseColumns : public tier_testing::TierTest {};

// Groups from the 33rd unit vector on leave out a zero prefix. An overflowed
// factor (infinite pivots, NaN multipliers) keeps the prefix in, since a NaN
// times a skipped zero belongs in the lone solve's result; its columns must
// match the lone solves too.
std::vector<double> overflowing_matrix(std::uint64_t n) {
  auto a = random_matrix(n, 5);
  for (double& value : a) value *= 4e307;
  return a;
}

TEST_P(LuInverseColumns, EqualLoneSolvesBitForBit) {
  for (std::uint64_t n : {1u, 15u, 16u, 17u, 40u, 130u, 70u, 300u, 701u}) {
    const auto a = n == 70 ? overflowing_matrix(n) : random_matrix(n, 11 * n + 3, n > 1 ? 0.05 : 0.0);
    auto inverse = lu_inverse(row_major(a, n, n));
    ASSERT_TRUE(inverse) << n << " " << inverse.error().display();
    auto lu = lu_decompose(row_major(a, n, n));
    ASSERT_TRUE(lu);
    for (std::uint64_t c = 0; c < n; ++c) {
      std::vector<double> x(n, 0.0);
      for (std::uint64_t j = 0; j < n; ++j) x[j] = lu->perm[j] == c ? 1.0 : 0.0;
      lu_solve_in_place(*lu, x);
      for (std::uint64_t k = 0; k < n; ++k) {
        const double got = inverse->data()[k * n + c];
        // Same bits; NaNs only as NaNs (the grouped kernel may pass on the
        // other operand's NaN sign).
        const bool same = std::isnan(got) ? std::isnan(x[k]) : std::memcmp(&got, &x[k], sizeof(double)) == 0;
        ASSERT_TRUE(same) << "n " << n << " column " << c << " row " << k << ": " << got << " vs " << x[k];
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllTiers, LuInverseColumns, ::testing::ValuesIn(tier_testing::all_tiers),
                         tier_testing::TierName());

// The blocked column path against the plain loop: every bit of the factors,
// the permutation and the sign, on every tier, for block widths that split
// the matrix evenly and unevenly and recurse inside the panel (over 16
// columns), with pivoting, exact zeros and signed zeros, and sizes whose
// trailing products run on the executor.
class LuBlockedColumns : public tier_testing::TierTest {};

TEST_P(LuBlockedColumns, BitIdenticalToThePlainColumnLoop) {
  struct Case {
    std::uint64_t n, block;
    double zero_fraction;
  };
  const std::vector<Case> cases = {
      {1, 1, 0},    {2, 1, 0},    {7, 3, 0},     {16, 4, 0.3},  {17, 4, 0},     {33, 16, 0.5},
      {64, 64, 0},  {65, 64, 0},  {100, 8, 0.2}, {130, 64, 0},  {130, 64, 0.4}, {200, 32, 0},
      {257, 64, 0}, {300, 96, 0}, {300, 64, 0.9}, {257, 40, 0.1}, {300, 128, 0}, {600, 256, 0},
      {48, 16, 0},  {127, 16, 0.2}, {511, 16, 0},
  };
  for (const auto& c : cases) {
    const auto a = random_matrix(c.n, 1000 * c.n + c.block, c.zero_fraction);
    auto plain = fresh_factors(a, c.n);
    auto plain_done = lu_factor_columns(plain);
    if (c.n > 2 && plain_done) {
      EXPECT_FALSE(is_identity(plain.perm)) << "pivoting must happen: " << c.n;
    }
    // Without look-ahead, and with it at every size (the next panel
    // factored beside the trailing update, its exchanges finished after).
    for (std::uint64_t look_ahead_from : {std::uint64_t{1} << 62, std::uint64_t{0}}) {
      auto blocked = fresh_factors(a, c.n);
      auto blocked_done = lu_factor_columns_blocked(blocked, c.block, look_ahead_from);
      ASSERT_EQ(plain_done.has_value(), blocked_done.has_value()) << c.n << " " << c.block;
      if (!plain_done) {
        EXPECT_EQ(plain_done.error().display(), blocked_done.error().display());
        continue;
      }
      EXPECT_TRUE(same_bits(plain, blocked)) << "n " << c.n << " block " << c.block << " look-ahead from "
                                             << look_ahead_from;
    }
  }
}

TEST_P(LuBlockedColumns, SingularColumnsFailAtTheSameColumn) {
  // Column 70 all zeros stays exactly zero through every update (adding
  // -m * 0), so the fifth 16-column block finds it after four trailing products.
  const std::uint64_t n = 100;
  auto a = random_matrix(n, 5);
  for (std::uint64_t i = 0; i < n; ++i) a[i * n + 70] = i % 2 ? 0.0 : -0.0;
  auto plain = fresh_factors(a, n);
  auto blocked = fresh_factors(a, n);
  auto plain_done = lu_factor_columns(plain);
  auto blocked_done = lu_factor_columns_blocked(blocked, 16);
  auto ahead = fresh_factors(a, n);
  auto ahead_done = lu_factor_columns_blocked(ahead, 16, 0);  // column 70 found by a look-ahead panel
  ASSERT_FALSE(plain_done);
  ASSERT_FALSE(blocked_done);
  ASSERT_FALSE(ahead_done);
  EXPECT_EQ(plain_done.error().display(), "Storage error: LU pivot column 70 is exactly zero: matrix is singular");
  EXPECT_EQ(plain_done.error().display(), blocked_done.error().display());
  EXPECT_EQ(plain_done.error().display(), ahead_done.error().display());
}

INSTANTIATE_TEST_SUITE_P(AllTiers, LuBlockedColumns, ::testing::ValuesIn(tier_testing::all_tiers),
                         tier_testing::TierName());

}  // namespace
}  // namespace kavo_ops
