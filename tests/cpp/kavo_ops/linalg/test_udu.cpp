#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "kavo_ops/linalg/udu/udu.h"

namespace kavo_ops {
namespace {

kavo::View<double, 2> row_major(const std::vector<double>& storage, std::uint64_t rows, std::uint64_t cols) {
  return {storage.data(), storage.size(), {{rows, cols}, {static_cast<std::int64_t>(cols), 1}, 0}};
}

std::vector<double> u_of(const UduFactors& f) {
  return std::vector<double>(f.u.data(), f.u.data() + f.u.storage_len());
}
std::vector<double> d_of(const UduFactors& f) { return std::vector<double>(f.d.data(), f.d.data() + f.d.size()); }

TEST(UduFactor, SmallExamplesAreExact) {
  struct Case {
    std::vector<double> a;
    std::uint64_t n;
    std::vector<double> u;
    std::vector<double> d;
  };
  const std::vector<Case> cases = {
      {{}, 0, {}, {}},
      {{4}, 1, {1}, {4}},
      {{-2}, 1, {1}, {-2}},  // negative pivots are accepted
      {{2, 1, 1, 2}, 2, {1, 0.5, 0, 1}, {1.5, 2}},
      // The upper triangle is factored; the lower one only passes the symmetry test.
      {{4, 2, 2.000000001, 5}, 2, {1, 0.4, 0, 1}, {4 - 0.4 * 2, 5}},
      {{1, 2, 2.0000000001, 1}, 2, {1, 2, 0, 1}, {-3, 1}},
  };
  for (const auto& c : cases) {
    auto f = udu_factor(row_major(c.a, c.n, c.n));
    ASSERT_TRUE(f) << f.error().display();
    EXPECT_EQ(f->u.layout().shape, (kavo::Extents<2>{c.n, c.n}));
    EXPECT_EQ(u_of(*f), c.u);
    EXPECT_EQ(d_of(*f), c.d);
  }
}

TEST(UduFactor, FailuresInCheckOrder) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::string zero_pivot = "Storage error: UDU encountered a zero pivot (needs symmetric pivoting)";
  const std::string asymmetric = "Storage error: UDU requires a symmetric matrix";
  const std::string non_finite = "Storage error: UDU input contains a non-finite value";
  struct Case {
    std::vector<double> a;
    std::uint64_t rows;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{nan, 2, 3, 4, 5, 6}, 2, "Shape mismatch: lhs [2, 3], rhs [2, 2]"},  // shape first
      {{1, inf, 5, 1}, 2, non_finite},                                      // before symmetry
      {{1, 0, nan, 1}, 2, non_finite},
      {{1, 2, 2.1, 1}, 2, asymmetric},
      {{0, 1, 1.5, 0}, 2, asymmetric},  // before the pivots
      {{0}, 1, zero_pivot},
      {{0, 0, 0, 0}, 2, zero_pivot},
      {{0, 1, 1, 0}, 2, zero_pivot},  // indefinite, needs pivoting: the last pivot is 0
      {{1, 0, 0, 1e-12}, 2, zero_pivot},  // |p| = 1e-12 M is refused ...
      // A finite input whose unpivoted factor overflows: U[0][1] = 1e11,
      // 1e11 * (1e11 * 1e289) = inf, the pivot is -inf and is refused.
      {{1, 1e300, 1e300, 1e289}, 2, zero_pivot},
  };
  for (const auto& c : cases) {
    auto f = udu_factor(row_major(c.a, c.rows, c.a.size() / c.rows));
    ASSERT_FALSE(f);
    EXPECT_EQ(f.error().display(), c.message);
  }
  // ... a pivot just above it is not.
  std::vector<double> above = {1, 0, 0, 1.0000001e-12};
  EXPECT_TRUE(udu_factor(row_major(above, 2, 2)));
}

TEST(UduFactor, AnyLayoutGivesTheRowMajorResult) {
  std::mt19937_64 rng(5);
  std::normal_distribution<double> normal;
  const std::uint64_t n = 9;
  std::vector<double> a(n * n);
  for (std::uint64_t i = 0; i < n; ++i) {
    for (std::uint64_t j = 0; j <= i; ++j) a[i * n + j] = a[j * n + i] = normal(rng) + (i == j ? 3.0 * n : 0.0);
  }
  auto reference = udu_factor(row_major(a, n, n));
  ASSERT_TRUE(reference);
  // The same matrix column-major (its transpose is itself), and every other
  // column of a wider row-major buffer starting at an offset.
  kavo::View<double, 2> column_major{a.data(), a.size(), {{n, n}, {1, static_cast<std::int64_t>(n)}, 0}};
  std::vector<double> wide(3 + n * 2 * n);
  for (std::uint64_t i = 0; i < n; ++i) {
    for (std::uint64_t j = 0; j < n; ++j) wide[3 + i * 2 * n + 2 * j] = a[i * n + j];
  }
  kavo::View<double, 2> strided{wide.data(), wide.size(), {{n, n}, {static_cast<std::int64_t>(2 * n), 2}, 3}};
  for (const auto& view : {column_major, strided}) {
    auto f = udu_factor(view);
    ASSERT_TRUE(f);
    EXPECT_EQ(u_of(*f), u_of(*reference));
    EXPECT_EQ(d_of(*f), d_of(*reference));
  }
}

TEST(UduFactor, PositiveDefiniteInputIsReproducedToRounding) {
  std::mt19937_64 rng(11);
  std::normal_distribution<double> normal;
  for (std::uint64_t n : {3u, 16u, 47u}) {
    std::vector<double> m(n * n), a(n * n, 0.0);
    for (double& x : m) x = normal(rng);
    for (std::uint64_t i = 0; i < n; ++i) {
      for (std::uint64_t j = 0; j < n; ++j) {
        for (std::uint64_t k = 0; k < n; ++k) a[i * n + j] += m[i * n + k] * m[j * n + k];
      }
      a[i * n + i] += 1.0;
    }
    auto f = udu_factor(row_major(a, n, n));
    ASSERT_TRUE(f);
    const double* u = f->u.data();
    double error = 0.0, norm = 0.0;
    for (std::uint64_t i = 0; i < n; ++i) {
      EXPECT_GT(f->d[i], 0.0);
      EXPECT_EQ(u[i * n + i], 1.0);
      for (std::uint64_t j = 0; j < i; ++j) EXPECT_EQ(u[i * n + j], 0.0);
      for (std::uint64_t j = 0; j < n; ++j) {
        double x = 0.0;
        for (std::uint64_t k = 0; k < n; ++k) x += u[i * n + k] * f->d[k] * u[j * n + k];
        error += (a[i * n + j] - x) * (a[i * n + j] - x);
        norm += a[i * n + j] * a[i * n + j];
      }
    }
    EXPECT_LT(std::sqrt(error / norm) / (n * std::numeric_limits<double>::epsilon()), 30.0) << n;
  }
}

}  // namespace
}  // namespace kavo_ops
