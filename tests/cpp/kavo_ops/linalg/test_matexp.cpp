#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "kavo_ops/linalg/matexp/matexp.h"
#include "kavo_ops/linalg/matexp/pade_coefficients.h"

namespace kavo_ops {
namespace {

constexpr double kEps = 0x1p-52;

kavo::View<double, 2> row_major(const std::vector<double>& storage, std::uint64_t rows, std::uint64_t cols) {
  return {storage.data(), storage.size(), {{rows, cols}, {static_cast<std::int64_t>(cols), 1}, 0}};
}

std::vector<double> entries(const kavo::OwnedArray<double, 2>& m) {
  return std::vector<double>(m.data(), m.data() + m.storage_len());
}

TEST(MatexpPade, TheRecurrenceDefinesTheCoefficients) {
  const std::array<double, 7> c = pade6_coefficients();
  EXPECT_EQ(c[0], 1.0);
  EXPECT_EQ(c[1], 0.5);
  EXPECT_EQ(c[2], 5.0 / 44.0);
  EXPECT_EQ(c[3], std::nextafter(1.0 / 66.0, 0.0));
  EXPECT_EQ(c[4], std::nextafter(1.0 / 792.0, 0.0));
  EXPECT_EQ(c[5], 1.0 / 15840.0);
  EXPECT_EQ(c[6], 1.0 / 665280.0);
}

TEST(MatexpScaling, LeastHalvingsToOneHalfAndTheOverflowEdge) {
  struct Case {
    std::vector<double> a;  // 2 x 2
    int halvings;           // -1: the overflow error
  };
  const std::vector<Case> cases = {
      {{0.25, -0.25, 0.5, 0.0}, 0},              // norm exactly 1/2: not scaled
      {{0.25, -0.2500001, 0.0, 0.0}, 1},         // just above: halved once
      {{0.0, 0.0, 0.0, 0.0}, 0},
      {{3.0, 0.0, -1.0, 1.0}, 3},                // ν = 3 → 3/8
      {{0x1p1022, 0.0, 0.0, 0.0}, 1023},         // the most halvings that still succeed
      {{std::nextafter(0x1p1022, 1e308), 0.0, 0.0, 0.0}, -1},
      {{1e308, 0.0, 0.0, 0.0}, -1},
      {{1e308, 1e308, 0.0, 0.0}, -1},            // the row sum overflows to infinity
  };
  for (const auto& c : cases) {
    auto s = matexp_scaling_exponent(row_major(c.a, 2, 2));
    if (c.halvings < 0) {
      ASSERT_FALSE(s);
      EXPECT_EQ(s.error().display(), "Storage error: matrix exponential scaling exponent overflow");
      auto e = matexp(row_major(c.a, 2, 2));
      ASSERT_FALSE(e);
      EXPECT_EQ(e.error().display(), "Storage error: matrix exponential scaling exponent overflow");
    } else {
      ASSERT_TRUE(s);
      EXPECT_EQ(*s, c.halvings) << c.a[0];
    }
  }
}

TEST(Matexp, ExactExamples) {
  // The zero matrix: E = I, O = 0, D = I, exactly the identity.
  auto zero = matexp(row_major(std::vector<double>(9, 0.0), 3, 3));
  ASSERT_TRUE(zero);
  EXPECT_EQ(entries(*zero), (std::vector<double>{1, 0, 0, 0, 1, 0, 0, 0, 1}));

  auto empty = matexp(row_major({}, 0, 0));
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->layout().shape, (kavo::Extents<2>{0, 0}));

  for (double x : {0.5, -0.3, 1.0, 7.5, -20.0}) {
    auto e = matexp(row_major({x}, 1, 1));
    ASSERT_TRUE(e);
    EXPECT_NEAR(e->data()[0] / std::exp(x), 1.0, 64 * kEps) << x;
  }

  auto diagonal = matexp(row_major({1.5, 0, 0, 0, -2.0, 0, 0, 0, 0.25}, 3, 3));
  ASSERT_TRUE(diagonal);
  const std::vector<double> d = entries(*diagonal);
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      if (i != j) EXPECT_EQ(d[i * 3 + j], 0.0);
    }
  }
  EXPECT_NEAR(d[0] / std::exp(1.5), 1.0, 32 * kEps);
  EXPECT_NEAR(d[4] / std::exp(-2.0), 1.0, 32 * kEps);
  EXPECT_NEAR(d[8] / std::exp(0.25), 1.0, 32 * kEps);

  auto nilpotent = matexp(row_major({0, 1, 0, 0}, 2, 2));
  ASSERT_TRUE(nilpotent);
  const std::vector<double> n = entries(*nilpotent);
  EXPECT_NEAR(n[0], 1.0, 4 * kEps);
  EXPECT_NEAR(n[1], 1.0, 4 * kEps);
  EXPECT_EQ(n[2], 0.0);
  EXPECT_NEAR(n[3], 1.0, 4 * kEps);
}

TEST(Matexp, Failures) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    std::vector<double> a;
    std::uint64_t rows;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{1, 2, 3, 4, 5, 6}, 2, "Shape mismatch: lhs [2, 3], rhs [2, 2]"},
      {{1, 2, nan, 4}, 2, "Storage error: matrix exponential requires finite entries"},
      {{-inf, 0, 0, 0}, 2, "Storage error: matrix exponential requires finite entries"},
  };
  for (const auto& c : cases) {
    auto e = matexp(row_major(c.a, c.rows, c.a.size() / c.rows));
    ASSERT_FALSE(e);
    EXPECT_EQ(e.error().display(), c.message);
  }
}

TEST(Matexp, ReadsAnyLayoutAndInvertsItsNegativeOnTheParallelPath) {
  // 80 x 80: the products are large enough to run on the executor.
  const std::uint64_t n = 80;
  std::mt19937 rng(3);
  std::normal_distribution<double> normal;
  std::vector<double> a(n * n), column_major(n * n), negative(n * n);
  for (double& v : a) v = normal(rng) * 0.1;
  for (std::uint64_t i = 0; i < n; ++i) {
    for (std::uint64_t j = 0; j < n; ++j) column_major[j * n + i] = a[i * n + j];
  }
  for (std::uint64_t k = 0; k < n * n; ++k) negative[k] = -a[k];
  auto e = matexp(row_major(a, n, n));
  kavo::View<double, 2> strided{column_major.data(), n * n, {{n, n}, {1, static_cast<std::int64_t>(n)}, 0}};
  auto same = matexp(strided);
  auto inverse = matexp(row_major(negative, n, n));
  ASSERT_TRUE(e && same && inverse);
  EXPECT_EQ(entries(*e), entries(*same));
  // exp(A)·exp(-A) = I.
  double worst = 0;
  for (std::uint64_t i = 0; i < n; ++i) {
    for (std::uint64_t j = 0; j < n; ++j) {
      long double sum = 0;
      for (std::uint64_t k = 0; k < n; ++k) sum += static_cast<long double>(e->data()[i * n + k]) * inverse->data()[k * n + j];
      worst = std::max(worst, static_cast<double>(std::fabs(sum - (i == j ? 1.0L : 0.0L))));
    }
  }
  EXPECT_LT(worst, 1e-12);
}

}  // namespace
}  // namespace kavo_ops
