#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "kavo_ops/linalg/bunch_kaufman/bunch_kaufman.h"
#include "kavo_ops/linalg/bunch_kaufman/bunch_kaufman_steps.h"

namespace kavo_ops {
namespace {

using Matrix = std::vector<double>;
constexpr double kAlpha = kBunchKaufmanAlpha;

kavo::View<double, 2> row_major(const Matrix& storage, std::uint64_t rows, std::uint64_t cols) {
  return {storage.data(), storage.size(), {{rows, cols}, {static_cast<std::int64_t>(cols), 1}, 0}};
}

struct Factors {
  Matrix l, d;
  std::vector<std::uint64_t> perm;
};

Factors factor(const Matrix& a, std::uint64_t n) {
  auto f = bunch_kaufman_factor(row_major(a, n, n));
  if (!f) {
    // Sized like a result so that later checks fail instead of reading past the end.
    ADD_FAILURE() << f.error().display();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    return {Matrix(n * n, nan), Matrix(n * n, nan), std::vector<std::uint64_t>(n, 0)};
  }
  return {Matrix(f->l.data(), f->l.data() + n * n), Matrix(f->d.data(), f->d.data() + n * n),
          std::vector<std::uint64_t>(f->permutation.data(), f->permutation.data() + n)};
}

Matrix identity(std::uint64_t n) {
  Matrix m(n * n, 0.0);
  for (std::uint64_t i = 0; i < n; ++i) m[i * n + i] = 1.0;
  return m;
}

Matrix random_symmetric(std::uint64_t n, std::uint64_t seed, bool zero_diagonal) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> normal;
  Matrix a(n * n);
  for (std::uint64_t i = 0; i < n; ++i) {
    for (std::uint64_t j = 0; j <= i; ++j) a[i * n + j] = a[j * n + i] = (zero_diagonal && i == j) ? 0.0 : normal(rng);
  }
  return a;
}

// ||A[perm][:, perm] - L D L^T||_F / (n eps ||A||_F), and the structure of
// the factors: unit lower L, D symmetric with 1 x 1 and 2 x 2 blocks.
double residual_ratio(const Matrix& a, std::uint64_t n, const Factors& f) {
  double error = 0.0, norm = 0.0;
  for (std::uint64_t i = 0; i < n; ++i) {
    EXPECT_EQ(f.l[i * n + i], 1.0);
    for (std::uint64_t j = i + 1; j < n; ++j) EXPECT_EQ(f.l[i * n + j], 0.0);
    for (std::uint64_t j = 0; j < n; ++j) {
      EXPECT_EQ(f.d[i * n + j], f.d[j * n + i]);
      if (i > j + 1 || j > i + 1) EXPECT_EQ(f.d[i * n + j], 0.0);
      double x = 0.0;
      for (std::uint64_t p = 0; p < n; ++p) {
        for (std::uint64_t q = (p == 0 ? 0 : p - 1); q < n && q <= p + 1; ++q) {
          x += f.l[i * n + p] * f.d[p * n + q] * f.l[j * n + q];
        }
      }
      const double entry = a[f.perm[i] * n + f.perm[j]];
      error += (entry - x) * (entry - x);
      norm += entry * entry;
    }
  }
  for (std::uint64_t i = 0; i + 1 < n; ++i) {
    // A 2 x 2 block never follows another directly: its off-diagonal
    // entries sit at (k, k+1) and (k+2, k+3) at the closest.
    if (f.d[i * n + i + 1] != 0.0 && i + 2 < n) EXPECT_EQ(f.d[(i + 1) * n + i + 2], 0.0);
  }
  return norm == 0.0 ? 0.0 : std::sqrt(error / norm) / (n * std::numeric_limits<double>::epsilon());
}

TEST(BunchKaufmanFactor, SmallExamplesAreExact) {
  struct Case {
    std::string name;
    Matrix a;
    std::uint64_t n;
    Matrix l, d;
    std::vector<std::uint64_t> perm;
  };
  const std::vector<Case> cases = {
      {"empty", {}, 0, {}, {}, {}},
      {"zero 1x1", {0}, 1, {1}, {0}, {0}},
      {"negative 1x1", {-3.5}, 1, {1}, {-3.5}, {0}},
      {"zero matrix", Matrix(9, 0.0), 3, identity(3), Matrix(9, 0.0), {0, 1, 2}},
      {"diagonal", {2, 0, 0, 0, -7, 0, 0, 0, 0}, 3, identity(3), {2, 0, 0, 0, -7, 0, 0, 0, 0}, {0, 1, 2}},
      {"swap matrix: 2x2 pivot", {0, 1, 1, 0}, 2, identity(2), {0, 1, 1, 0}, {0, 1}},
      {"alpha*colmax beats absakk: 2x2 pivot", {1, 2, 2, 1}, 2, identity(2), {1, 2, 2, 1}, {0, 1}},
      {"two 1x1 pivots", {4, 1, 1, 3}, 2, {1, 0, 0.25, 1}, {4, 0, 0, 2.75}, {0, 1}},
      // absakk = 0.5 < alpha * 1 but >= alpha * 1 * (1 / 2): 1x1 at k, no interchange.
      {"rowmax admits the diagonal", {0.5, 1, 0, 1, 0, 2, 0, 2, 0}, 3, {1, 0, 0, 2, 1, 0, 0, -1, 1},
       {0.5, 0, 0, 0, -2, 0, 0, 0, 2}, {0, 1, 2}},
      // |A[1][1]| = 5 >= alpha * rowmax: interchange 0 and 1, then 1x1 pivots.
      {"interchange k and imax", {0, 1, 0, 1, 5, 0, 0, 0, 1}, 3, {1, 0, 0, 0.2, 1, 0, 0, 0, 1},
       {5, 0, 0, 0, -0.2, 0, 0, 0, 1}, {1, 0, 2}},
      // colmax at row 2, |A[2][2]| small: interchange 1 and 2, 2x2 pivot.
      {"interchange k+1 and imax", {0, 0.5, 1, 0.5, 0, 0, 1, 0, 0}, 3, {1, 0, 0, 0, 1, 0, 0, 0.5, 1},
       {0, 1, 0, 1, 0, 0, 0, 0, 0}, {0, 2, 1}},
      // Ties in colmax go to the lowest row (1, not 2).
      {"tie", {0, 1, 1, 1, 0, 0, 1, 0, 0}, 3, {1, 0, 0, 0, 1, 0, 0, 1, 1}, {0, 1, 0, 1, 0, 0, 0, 0, 0}, {0, 1, 2}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Factors f = factor(c.a, c.n);
    EXPECT_EQ(f.l, c.l);
    EXPECT_EQ(f.d, c.d);
    EXPECT_EQ(f.perm, c.perm);
  }
}

TEST(BunchKaufmanFactor, FailuresInCheckOrder) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::string asymmetric = "Storage error: Bunch-Kaufman requires a symmetric matrix";
  const std::string non_finite = "Storage error: Bunch-Kaufman input contains a non-finite value";
  struct Case {
    Matrix a;
    std::uint64_t rows;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{nan, 2, 3, 4, 5, 6}, 2, "Shape mismatch: lhs [2, 3], rhs [2, 2]"},
      {{}, 0, "Shape mismatch: lhs [0, 3], rhs [0, 0]"},
      {{1, -inf, 7, 1}, 2, non_finite},
      {{1, 1, 1.1, 1}, 2, asymmetric},
      {{1, 1e300, -1e300, 1}, 2, asymmetric},  // the difference overflows: still refused
  };
  for (const auto& c : cases) {
    const std::uint64_t cols = c.rows == 0 ? 3 : c.a.size() / c.rows;
    auto f = bunch_kaufman_factor(row_major(c.a, c.rows, cols));
    ASSERT_FALSE(f);
    EXPECT_EQ(f.error().display(), c.message);
  }
  // Within 1e-9 * M the matrix counts as symmetric; the lower triangle is factored.
  const Factors f = factor({1, 1, 1.0000000001, 1}, 2);
  EXPECT_EQ(f.l[2], 1.0000000001);
}

TEST(BunchKaufmanSteps, DiagonalPivotTestNeitherUnderflowsNorOverflows) {
  struct Case {
    double absakk, colmax, rowmax;
    bool holds;
  };
  const double bound = kAlpha * 1.0 * (1.0 / 3.0);
  const std::vector<Case> cases = {
      {0.5, 1, 2, true},
      {0.3, 1, 2, false},
      {bound, 1, 3, true},  // both sides of the threshold
      {std::nextafter(bound, 0.0), 1, 3, false},
      // alpha * colmax^2 underflows to 0: a zero diagonal must still be refused ...
      {0.0, 1e-170, 1e-170, false},
      {0.0, 1e-170, 1e300, false},
      // ... while a tiny nonzero one above the true bound is accepted.
      {1e-320, 1e-170, 1e300, true},
      // colmax^2 and absakk * rowmax overflow: the small diagonal must be refused.
      {1e155, 1e160, 1e160, false},
      {1e300, 1e300, 1e300, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(diagonal_pivot_holds(c.absakk, c.colmax, c.rowmax), c.holds)
        << c.absakk << " " << c.colmax << " " << c.rowmax;
  }
}

TEST(BunchKaufmanSteps, TwoByTwoMultipliersNeedNoDeterminant) {
  // Block [[d, e], [e, f]] and row entries (o, r): the multipliers solve
  // [first, second] * block = [o, r]. At scale s the block and the row
  // scale together and the multipliers must not change; the textbook
  // d f - e e overflows at s = 2^520 and underflows at s = 2^-560.
  const double d = 0.25, e = 2.0, f = -0.5, o = 1.5, r = -3.0;
  auto base = two_by_two_pivot(d, e, f);
  ASSERT_TRUE(base);
  const TwoByTwoMultipliers m = two_by_two_multipliers(*base, f, o, r);
  EXPECT_NEAR(m.first * d + m.second * e, o, 1e-15);
  EXPECT_NEAR(m.first * e + m.second * f, r, 1e-15);
  for (double s : {std::ldexp(1.0, 520), std::ldexp(1.0, -560), std::ldexp(1.0, 1000)}) {
    auto scaled = two_by_two_pivot(d * s, e * s, f * s);
    ASSERT_TRUE(scaled);
    const TwoByTwoMultipliers ms = two_by_two_multipliers(*scaled, f * s, o * s, r * s);
    EXPECT_EQ(ms.first, m.first) << s;
    EXPECT_EQ(ms.second, m.second) << s;
  }
  // Largest finite entries: every intermediate stays finite.
  const double big = std::numeric_limits<double>::max();
  auto edge = two_by_two_pivot(0.0, big, 0.0);
  ASSERT_TRUE(edge);
  const TwoByTwoMultipliers me = two_by_two_multipliers(*edge, 0.0, big, -big);
  EXPECT_EQ(me.first, -1.0);
  EXPECT_EQ(me.second, 1.0);
}

TEST(BunchKaufmanSteps, SingularTwoByTwoPivotIsAnError) {
  // Unreachable from the elimination (the pivot rule keeps |d f| < alpha^2 e^2).
  auto pivot = two_by_two_pivot(1.0, 1.0, 1.0);
  ASSERT_FALSE(pivot);
  EXPECT_EQ(pivot.error().display(), "Storage error: Bunch-Kaufman encountered a singular 2x2 pivot");
}

TEST(BunchKaufmanSteps, InterchangeOnTheLowerTriangleIsASymmetricSwap) {
  const std::uint64_t n = 7, from = 1;
  for (auto [a, b] : {std::pair<std::uint64_t, std::uint64_t>{1, 5}, {2, 3}, {3, 6}}) {
    const Matrix full = random_symmetric(n, 3, false);
    Matrix lower = full;  // scramble the upper triangle: it must never be read
    for (std::uint64_t i = 0; i < n; ++i) {
      for (std::uint64_t j = i + 1; j < n; ++j) lower[i * n + j] = -99.0;
    }
    Matrix l = random_symmetric(n, 4, false);
    Matrix l_expected = l;
    std::vector<std::uint64_t> perm = {0, 1, 2, 3, 4, 5, 6};
    symmetric_interchange(lower.data(), l.data(), perm.data(), n, from, a, b);
    auto swapped = [&](std::uint64_t i) { return i == a ? b : i == b ? a : i; };
    for (std::uint64_t i = from; i < n; ++i) {
      for (std::uint64_t j = from; j <= i; ++j) EXPECT_EQ(lower[i * n + j], full[swapped(i) * n + swapped(j)]);
    }
    for (std::uint64_t i = 0; i < n; ++i) {
      EXPECT_EQ(perm[i], swapped(i));
      for (std::uint64_t j = 0; j < n; ++j) {
        EXPECT_EQ(l[i * n + j], j < from ? l_expected[swapped(i) * n + j] : l_expected[i * n + j]);
      }
    }
  }
}

// Scaling the input by a power of two scales every exact step exactly: the
// same pivots, the same L bit for bit, D scaled. Scales where the textbook
// squares and 2x2 determinant under- or overflow included.
TEST(BunchKaufmanFactor, PowerOfTwoScalingChangesNothingButD) {
  const std::uint64_t n = 12;
  const std::vector<Matrix> inputs = {random_symmetric(n, 7, true), random_symmetric(n, 8, false)};
  for (const Matrix& a : inputs) {
    const Factors base = factor(a, n);
    EXPECT_LT(residual_ratio(a, n, base), 30.0);
    for (int exponent : {-560, -500, 520, 560}) {
      SCOPED_TRACE(exponent);
      Matrix scaled = a;
      for (double& x : scaled) x = std::ldexp(x, exponent);
      const Factors f = factor(scaled, n);
      EXPECT_EQ(f.perm, base.perm);
      EXPECT_EQ(f.l, base.l);
      for (std::uint64_t i = 0; i < n * n; ++i) EXPECT_EQ(f.d[i], std::ldexp(base.d[i], exponent));
    }
  }
  // Zero diagonal at 1e-170: the textbook pivot test accepts the zero
  // diagonal (its squares underflow) and its 2x2 determinant underflows to 0.
  const Matrix tiny = {0, 1e-170, 1e-170, 0};
  EXPECT_EQ(factor(tiny, 2).d, tiny);
  // colmax^2 overflows: the textbook test takes 1e155 as a 1x1 pivot.
  const Matrix huge = {1e155, 1e160, 1e160, 1e155};
  EXPECT_EQ(factor(huge, 2).d, huge);
}

TEST(BunchKaufmanFactor, BackwardStableOnIndefiniteAndIllConditionedInput) {
  struct Case {
    std::string name;
    Matrix a;
    std::uint64_t n;
  };
  std::vector<Case> cases = {
      {"random 40", random_symmetric(40, 21, false), 40},
      {"zero diagonal 41", random_symmetric(41, 22, true), 41},
  };
  // Hilbert(20): with the two triangles updated from different sides the
  // backward error is ~1e4 n eps.
  Matrix hilbert(400);
  for (std::uint64_t i = 0; i < 20; ++i) {
    for (std::uint64_t j = 0; j < 20; ++j) hilbert[i * 20 + j] = 1.0 / static_cast<double>(i + j + 1);
  }
  cases.push_back({"hilbert 20", hilbert, 20});
  for (const auto& c : cases) {
    EXPECT_LT(residual_ratio(c.a, c.n, factor(c.a, c.n)), 30.0) << c.name;
  }
}

TEST(BunchKaufmanFactor, AnyLayoutGivesTheRowMajorResult) {
  const std::uint64_t n = 8;
  const Matrix a = random_symmetric(n, 9, true);
  const Factors reference = factor(a, n);
  kavo::View<double, 2> column_major{a.data(), a.size(), {{n, n}, {1, static_cast<std::int64_t>(n)}, 0}};
  auto f = bunch_kaufman_factor(column_major);
  ASSERT_TRUE(f);
  EXPECT_EQ(Matrix(f->l.data(), f->l.data() + n * n), reference.l);
  EXPECT_EQ(Matrix(f->d.data(), f->d.data() + n * n), reference.d);
}

}  // namespace
}  // namespace kavo_ops
