#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "kavo_ops/linalg/symmetric_eigen/jacobi_input_screen.h"
#include "kavo_ops/linalg/symmetric_eigen/jacobi_iterate.h"
#include "kavo_ops/linalg/symmetric_eigen/jacobi_pivot.h"
#include "kavo_ops/linalg/symmetric_eigen/symmetric_eigen.h"

namespace kavo_ops {
namespace {

constexpr double kEps = 0x1p-52;
constexpr double kMax = std::numeric_limits<double>::max();

kavo::View<double, 2> row_major(const std::vector<double>& storage, std::uint64_t rows, std::uint64_t cols) {
  return {storage.data(), storage.size(), {{rows, cols}, {static_cast<std::int64_t>(cols), 1}, 0}};
}

std::vector<double> random_symmetric(std::uint64_t n, std::uint32_t seed, double scale = 1.0) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> normal;
  std::vector<double> a(n * n);
  for (std::uint64_t i = 0; i < n; ++i) {
    for (std::uint64_t j = i; j < n; ++j) a[i * n + j] = a[j * n + i] = normal(rng) * scale;
  }
  return a;
}

// ‖AV - VΛ‖_F / (n ε ‖A‖_F) and ‖VᵀV - I‖_F / (n ε), in long double.
struct Ratios {
  double residual;
  double orthogonality;
};
Ratios ratios(const std::vector<double>& a, const SymmetricEigen& e, std::uint64_t n) {
  const double* v = e.vectors.data();
  long double residual = 0, norm = 0, orthogonality = 0;
  for (std::uint64_t i = 0; i < n; ++i) {
    for (std::uint64_t j = 0; j < n; ++j) {
      long double av = 0, vtv = 0;
      for (std::uint64_t k = 0; k < n; ++k) {
        av += static_cast<long double>(a[i * n + k]) * v[k * n + j];
        vtv += static_cast<long double>(v[k * n + i]) * v[k * n + j];
      }
      const long double r = av - static_cast<long double>(v[i * n + j]) * e.values[j];
      const long double o = vtv - (i == j ? 1.0L : 0.0L);
      residual += r * r;
      orthogonality += o * o;
      norm += static_cast<long double>(a[i * n + j]) * a[i * n + j];
    }
  }
  return {static_cast<double>(std::sqrt(residual) / (n * kEps * std::sqrt(norm))),
          static_cast<double>(std::sqrt(orthogonality) / (n * kEps))};
}

TEST(SymmetricEigen, ExactExamples) {
  const double r = 1.0 / std::sqrt(2.0);
  auto two = symmetric_eigen(row_major({2, 1, 1, 2}, 2, 2));
  ASSERT_TRUE(two);
  EXPECT_NEAR(two->values[0], 1.0, 4 * kEps);
  EXPECT_NEAR(two->values[1], 3.0, 8 * kEps);
  const double* v = two->vectors.data();
  // Column 0 is ±(1, -1)/√2, column 1 is ±(1, 1)/√2.
  EXPECT_NEAR(std::fabs(v[0]), r, 4 * kEps);
  EXPECT_NEAR(v[0] + v[2], 0.0, 4 * kEps);
  EXPECT_NEAR(std::fabs(v[1]), r, 4 * kEps);
  EXPECT_NEAR(v[1] - v[3], 0.0, 4 * kEps);

  // Diagonal: no rotation, the diagonal sorted, V a permutation; the two
  // equal values keep the order of their columns.
  auto diagonal = symmetric_eigen(row_major({3, 0, 0, 0, -1, 0, 0, 0, 3}, 3, 3));
  ASSERT_TRUE(diagonal);
  EXPECT_EQ(std::vector<double>(diagonal->values.data(), diagonal->values.data() + 3), (std::vector<double>{-1, 3, 3}));
  EXPECT_EQ(std::vector<double>(diagonal->vectors.data(), diagonal->vectors.data() + 9),
            (std::vector<double>{0, 1, 0, 1, 0, 0, 0, 0, 1}));

  auto empty = symmetric_eigen(row_major({}, 0, 0));
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->values.size(), 0u);
  EXPECT_EQ(empty->vectors.layout().shape, (kavo::Extents<2>{0, 0}));
}

TEST(SymmetricEigen, FailuresNameTheFirstOffendingEntry) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const double bound = 4 * kEps * 2.0;  // (n + 2)·ε·‖A‖_F for the 2 x 2 cases below, ‖A‖_F = 2
  struct Case {
    std::vector<double> a;
    std::uint64_t n;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{1, 2, 3, 4, 5, 6}, 2, "Shape mismatch: lhs [2, 3], rhs [2, 2]"},
      // The NaN is reported even though (0, 1) is asymmetric as well.
      {{1, 5, 0, 0, 1, 0, nan, 0, 1}, 3, "Invalid input: symmetric eigensolver input has a non-finite entry at (2, 0)"},
      {{1, 0, 0, -inf}, 2, "Invalid input: symmetric eigensolver input has a non-finite entry at (1, 1)"},
      {{1, 0, 4, 0, 1, 1, 0, 1, 1}, 3, "Invalid input: symmetric eigensolver input is not symmetric at (0, 2)"},
      {{0, 1.0 + 2 * bound, 1, 0}, 2, "Invalid input: symmetric eigensolver input is not symmetric at (0, 1)"},
      // ‖A‖_F overflows here: the allowance must not become infinite.
      {{kMax, kMax, -kMax, kMax}, 2, "Invalid input: symmetric eigensolver input is not symmetric at (0, 1)"},
      {{kMax, kMax / 2, kMax / 4, kMax}, 2, "Invalid input: symmetric eigensolver input is not symmetric at (0, 1)"},
  };
  for (const auto& c : cases) {
    auto result = symmetric_eigen(row_major(c.a, c.n, c.a.size() / c.n));
    ASSERT_FALSE(result) << c.message;
    EXPECT_EQ(result.error().display(), c.message);
  }
}

TEST(SymmetricEigen, AsymmetryWithinTheAllowanceIsAcceptedAndTheUpperTriangleWins) {
  // ‖A‖_F = √2 for [[0, 1], [1, 0]]; the allowance is 4·ε·√2 ≈ 5.66 ε.
  for (double scale : {1.0, 0x1p1000, 0x1p-1000}) {
    std::vector<double> a = {0, scale, scale * (1 - 4 * kEps), 0};
    std::vector<double> screened = a;
    ASSERT_TRUE(screen_symmetric_input(screened.data(), 2));
    EXPECT_EQ(screened[2], scale);
    std::vector<double> rejected = {0, scale, scale * (1 - 8 * kEps), 0};
    EXPECT_FALSE(screen_symmetric_input(rejected.data(), 2));
  }
  // Near the top of the range the norm overflows; the test in scaled units still accepts.
  std::vector<double> huge = {kMax, kMax, kMax * (1 - 2 * kEps), kMax};
  EXPECT_TRUE(screen_symmetric_input(huge.data(), 2));
  EXPECT_TRUE(std::isinf(frobenius_norm_by_largest(huge.data(), 4)));
}

TEST(SymmetricEigen, ResidualsOverRandomGradedClusteredAndExtremeMatrices) {
  struct Case {
    const char* name;
    std::vector<double> a;
    std::uint64_t n;
  };
  std::vector<Case> cases;
  for (std::uint64_t n : {1u, 2u, 3u, 7u, 30u}) cases.push_back({"random", random_symmetric(n, 10 + n), n});
  cases.push_back({"near_overflow", random_symmetric(12, 3, 1e300), 12});
  cases.push_back({"at_the_top", random_symmetric(6, 4, kMax / 8), 6});
  cases.push_back({"near_underflow", random_symmetric(12, 5, 1e-300), 12});
  std::vector<double> graded = random_symmetric(10, 6);
  for (std::uint64_t i = 0; i < 10; ++i) {
    for (std::uint64_t j = 0; j < 10; ++j) graded[i * 10 + j] *= std::pow(1e-3, double(i + j));
  }
  cases.push_back({"graded", graded, 10});
  // Eigenvalues 1 and 2, five times each: the all-ones block plus a shifted identity.
  std::vector<double> clustered(100, 0.0);
  for (std::uint64_t i = 0; i < 10; ++i) {
    for (std::uint64_t j = 0; j < 10; ++j) clustered[i * 10 + j] = (i < 5) == (j < 5) ? 0.2 : 0.0;
    clustered[i * 10 + i] += 1.0;
  }
  cases.push_back({"clustered", clustered, 10});
  for (const auto& c : cases) {
    auto e = symmetric_eigen(row_major(c.a, c.n, c.n));
    ASSERT_TRUE(e) << c.name;
    for (std::uint64_t j = 1; j < c.n; ++j) EXPECT_LE(e->values[j - 1], e->values[j]) << c.name;
    const Ratios r = ratios(c.a, *e, c.n);
    EXPECT_LT(r.residual, 30) << c.name;
    EXPECT_LT(r.orthogonality, 30) << c.name;
  }
}

TEST(SymmetricEigen, ExtremeScalesComeBackAtTheirTrueMagnitude) {
  for (double scale : {1e300, 1e-300, 0x1p-1070}) {
    auto e = symmetric_eigen(row_major({2 * scale, scale, scale, 2 * scale}, 2, 2));
    ASSERT_TRUE(e);
    EXPECT_NEAR(e->values[0] / scale, 1.0, 8 * kEps) << scale;
    EXPECT_NEAR(e->values[1] / scale, 3.0, 16 * kEps) << scale;
  }
  // Every entry finite, but an eigenvalue beyond the largest double.
  auto overflowing = symmetric_eigen(row_major({kMax, kMax, kMax, kMax}, 2, 2));
  ASSERT_FALSE(overflowing);
  EXPECT_EQ(overflowing.error().display(),
            "Arithmetic overflow in layout calculations: Jacobi eigensolver: an eigenvalue exceeds the scalar range");
}

TEST(JacobiRotationLimit, ThirtyTwoNSquaredAtLeastOneSaturating) {
  EXPECT_EQ(jacobi_rotation_limit(0), 1u);
  EXPECT_EQ(jacobi_rotation_limit(1), 32u);
  EXPECT_EQ(jacobi_rotation_limit(3), 288u);
  EXPECT_EQ(jacobi_rotation_limit(std::uint64_t{1} << 29), std::uint64_t{1} << 63);
  EXPECT_EQ(jacobi_rotation_limit(std::uint64_t{1} << 30), std::numeric_limits<std::uint64_t>::max());
  EXPECT_EQ(jacobi_rotation_limit(std::uint64_t{1} << 33), std::numeric_limits<std::uint64_t>::max());
}

TEST(JacobiIterate, TheLimitIsExactAndAFailedRunReportsItsLastPivot) {
  const std::uint64_t n = 6;
  const std::vector<double> a = random_symmetric(n, 77);
  const double floor = kEps * frobenius_norm_by_largest(a.data(), n * n);
  auto run_with = [&](std::uint64_t limit) {
    std::vector<double> work = a;
    std::vector<double> vt(n * n, 0.0);
    for (std::uint64_t k = 0; k < n; ++k) vt[k * n + k] = 1.0;
    return jacobi_iterate(work.data(), vt.data(), n, floor, limit, JacobiSearch::tracked);
  };
  const JacobiRun free_run = run_with(jacobi_rotation_limit(n));
  ASSERT_TRUE(free_run.converged);
  ASSERT_GT(free_run.steps, 10u);
  // Exactly the rotations needed: the search after the limit finds nothing.
  const JacobiRun exact = run_with(free_run.steps);
  EXPECT_TRUE(exact.converged);
  EXPECT_EQ(exact.steps, free_run.steps);
  const JacobiRun short_run = run_with(free_run.steps - 1);
  EXPECT_FALSE(short_run.converged);
  EXPECT_EQ(short_run.steps, free_run.steps - 1);
  EXPECT_TRUE(short_run.last.found);
  EXPECT_LT(short_run.last.p, short_run.last.q);
  EXPECT_GT(short_run.last.magnitude, 0.0);
}

TEST(JacobiPivot, LargestSignificantEntryWinsAndTiesGoToTheFirst) {
  struct Case {
    const char* name;
    std::vector<double> a;  // 4 x 4, symmetric
    std::uint64_t p, q;
    bool found;
  };
  const double big = 1e40;
  const std::vector<Case> cases = {
      // (0, 1) = 1e10 is larger but below ε·√(a_00·a_11); (2, 3) = 1e9 is above ε·max(1e9, ε‖A‖_F).
      {"insignificant_larger", {big, 1e10, 0, 0, 1e10, big, 0, 0, 0, 0, 1e9, 1e9, 0, 0, 1e9, 1e9}, 2, 3, true},
      {"tie_same_row", {1, 0, 3, -3, 0, 1, 0, 0, 3, 0, 1, 0, -3, 0, 0, 1}, 0, 2, true},
      {"tie_across_rows", {1, 0, 0, 0, 0, 1, 0, 5, 0, 0, 1, -5, 0, 5, -5, 1}, 1, 3, true},
      {"diagonal", {4, 0, 0, 0, 0, 3, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1}, 0, 0, false},
  };
  for (const auto& c : cases) {
    const double floor = kEps * frobenius_norm_by_largest(c.a.data(), 16);
    std::vector<double> roots(4);
    const JacobiPivot scanned = jacobi_full_scan(c.a.data(), 4, floor, roots.data());
    JacobiPivotTracker tracker(4, floor);
    tracker.reset(c.a.data());
    const JacobiPivot tracked = tracker.pivot();
    for (const JacobiPivot& pivot : {scanned, tracked}) {
      EXPECT_EQ(pivot.found, c.found) << c.name;
      if (!c.found) continue;
      EXPECT_EQ(pivot.p, c.p) << c.name;
      EXPECT_EQ(pivot.q, c.q) << c.name;
    }
  }
}

}  // namespace
}  // namespace kavo_ops
