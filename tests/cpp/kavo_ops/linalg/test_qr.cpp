// QR: the one-panel path and the forming of Q equal the plain per-column
// loops bit for bit on every processor tier; the panel-blocked path agrees to
// rounding; residuals, the column scaling near the ends of the range, and the
// error cases.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "../../support/test_matrices.h"
#include "../../support/tier_fixture.h"
#include "kavo/constructors/constructors.h"
#include "kavo_ops/linalg/qr/qr.h"

namespace {

using test_matrices::matrix;
using test_matrices::random_values;

using kavo_ops::QrPanelPolicy;

// The textbook loops, unscaled, every product rounded before its add.
struct PlainQr {
  std::vector<double> packed, heads, taus, q;
};

PlainQr plain_qr(std::vector<double> a, std::size_t m, std::size_t n) {
  PlainQr result{std::move(a), std::vector<double>(n), std::vector<double>(n), {}};
  auto at = [&](std::size_t i, std::size_t j) -> double& { return result.packed[i * n + j]; };
  for (std::size_t k = 0; k < n; ++k) {
    double s2 = 0.0;
    for (std::size_t l = k; l < m; ++l) s2 += at(l, k) * at(l, k);
    const double diagonal = at(k, k);
    const double beta = diagonal > 0.0 ? -std::sqrt(s2) : std::sqrt(s2);
    const double v0 = diagonal - beta;
    double q = v0 * v0;
    for (std::size_t l = k + 1; l < m; ++l) q += at(l, k) * at(l, k);
    const double tau = 2.0 / q;
    for (std::size_t j = k + 1; j < n; ++j) {
      double w = v0 * at(k, j);
      for (std::size_t l = k + 1; l < m; ++l) w += at(l, k) * at(l, j);
      w *= tau;
      at(k, j) -= w * v0;
      for (std::size_t l = k + 1; l < m; ++l) at(l, j) -= w * at(l, k);
    }
    at(k, k) = beta;
    result.heads[k] = v0;
    result.taus[k] = tau;
  }
  result.q.assign(m * m, 0.0);
  for (std::size_t i = 0; i < m; ++i) result.q[i * m + i] = 1.0;
  for (std::size_t k = std::min(m, n); k-- > 0;) {
    for (std::size_t j = 0; j < m; ++j) {
      double d = result.heads[k] * result.q[k * m + j];
      for (std::size_t l = k + 1; l < m; ++l) d += at(l, k) * result.q[l * m + j];
      const double dt = d * result.taus[k];
      result.q[k * m + j] -= result.heads[k] * dt;
      for (std::size_t l = k + 1; l < m; ++l) result.q[l * m + j] -= dt * at(l, k);
    }
  }
  return result;
}

std::vector<double> contents(const kavo::OwnedArray<double, 2>& array) {
  return {array.data(), array.data() + array.view().len};
}

class QrTiers : public tier_testing::TierTest {};

TEST_P(QrTiers, OnePanelAndQEqualThePlainLoopsBitForBit) {
  // 300 rows: Q runs in parallel column blocks with a partial last block.
  struct Shape {
    std::size_t m, n;
  };
  for (Shape shape : {Shape{300, 150}, Shape{37, 37}, Shape{9, 1}, Shape{20, 7}}) {
    const std::vector<double> values = random_values(shape.m * shape.n, shape.m * 31 + shape.n);
    const auto a = matrix(shape.m, shape.n, values);
    auto qr = kavo_ops::qr_decompose(a.view());
    ASSERT_TRUE(qr.has_value());
    const PlainQr plain = plain_qr(values, shape.m, shape.n);
    EXPECT_EQ(contents(qr->packed), plain.packed) << shape.m << "x" << shape.n;
    EXPECT_EQ(qr->heads, plain.heads);
    EXPECT_EQ(qr->taus, plain.taus);
    EXPECT_EQ(contents(kavo_ops::qr_form_q(*qr)), plain.q) << shape.m << "x" << shape.n;
  }
}

INSTANTIATE_TEST_SUITE_P(AllTiers, QrTiers, ::testing::ValuesIn(tier_testing::all_tiers), tier_testing::TierName());

// max |A - Q R| / (n eps max|A|) and max |Q^T Q - I| / (m eps).
struct Residuals {
  double factorization, orthogonality;
};

Residuals residuals(const std::vector<double>& a, const kavo_ops::QrFactors& f, std::size_t m, std::size_t n) {
  const double* q = f.q.data();
  const double* r = f.r.data();
  double largest = 0.0, worst = 0.0, worst_orthogonal = 0.0;
  for (double value : a) largest = std::fmax(largest, std::fabs(value));
  for (std::size_t i = 0; i < m; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      long double sum = 0.0L;
      for (std::size_t p = 0; p < m; ++p) sum += static_cast<long double>(q[i * m + p]) * r[p * n + j];
      worst = std::fmax(worst, std::fabs(static_cast<double>(sum - a[i * n + j])));
    }
    for (std::size_t j = 0; j < m; ++j) {
      long double sum = 0.0L;
      for (std::size_t p = 0; p < m; ++p) sum += static_cast<long double>(q[p * m + i]) * q[p * m + j];
      worst_orthogonal = std::fmax(worst_orthogonal, std::fabs(static_cast<double>(sum - (i == j))));
    }
  }
  const double eps = 0x1p-52;
  return {worst / (std::max<std::size_t>(n, 1) * eps * largest), worst_orthogonal / (m * eps)};
}

void expect_upper_triangular(const kavo::OwnedArray<double, 2>& r, std::size_t m, std::size_t n) {
  for (std::size_t i = 0; i < m; ++i)
    for (std::size_t j = 0; j < std::min(i, n); ++j) ASSERT_EQ(r.data()[i * n + j], 0.0) << i << "," << j;
}

TEST(Qr, PanelBlockedPathAgreesWithOnePanel) {
  // Panels of 4 from 8 columns: full panels, a partial last panel, and a
  // block update on a narrow trailing window.
  const std::size_t m = 45, n = 23;
  const std::vector<double> values = random_values(m * n, 77);
  const auto a = matrix(m, n, values);
  auto blocked = kavo_ops::qr_factors(a.view(), QrPanelPolicy{8, 4});
  auto single = kavo_ops::qr_factors(a.view());
  ASSERT_TRUE(blocked.has_value() && single.has_value());
  const Residuals fit = residuals(values, *blocked, m, n);
  EXPECT_LT(fit.factorization, 30);
  EXPECT_LT(fit.orthogonality, 30);
  expect_upper_triangular(blocked->r, m, n);
  for (std::size_t i = 0; i < m * n; ++i) EXPECT_NEAR(blocked->r.data()[i], single->r.data()[i], 1e-12) << i;
  for (std::size_t i = 0; i < m * m; ++i) EXPECT_NEAR(blocked->q.data()[i], single->q.data()[i], 1e-12) << i;
}

TEST(Qr, ColumnsNearTheEndsOfTheRangeAreScaledBeforeTheirReflector) {
  // Unscaled squares would overflow (inf/NaN factors) or vanish (a false
  // zero-norm error); each column here needs scaling, the last one only
  // after the first reflection made it tiny.
  for (double scale : {1e300, 1e-300, 1e-170, 1e200, 0x1p-1060}) {
    const std::size_t m = 6, n = 4;
    std::vector<double> values = random_values(m * n, 3);
    for (double& value : values) value *= scale;
    const auto a = matrix(m, n, values);
    auto f = kavo_ops::qr_factors(a.view());
    ASSERT_TRUE(f.has_value()) << scale << ": " << f.error().display();
    std::vector<double> unit = random_values(m * n, 3);
    const auto reference = kavo_ops::qr_factors(matrix(m, n, unit).view());
    ASSERT_TRUE(reference.has_value());
    // Scaling by a power of two commutes with the whole computation for
    // normal numbers; 1e-300 etc. are not powers of two, so compare to rounding.
    for (std::size_t i = 0; i < m * n; ++i) {
      const double expected = reference->r.data()[i] * scale;
      EXPECT_NEAR(f->r.data()[i], expected, 1e-12 * scale * 4 + (scale < 1e-300 ? 1e-3 * scale : 0.0))
          << scale << " at " << i;
    }
    const double tolerance = scale < 1e-300 ? 1e-3 : 1e-12;  // subnormal inputs carry few bits
    for (std::size_t i = 0; i < m * m; ++i) EXPECT_NEAR(f->q.data()[i], reference->q.data()[i], tolerance) << scale;
  }
  // The documented case: a full-rank column of tiny entries.
  const auto tiny = kavo_ops::qr_factors(matrix(2, 1, {1e-170, 1e-170}).view());
  ASSERT_TRUE(tiny.has_value());
  EXPECT_NEAR(tiny->r.data()[0], -std::sqrt(2.0) * 1e-170, 1e-185);
}

TEST(Qr, SmallExamples) {
  struct Example {
    double a, q, r;
  };
  for (Example e : {Example{3.0, -1.0, -3.0}, Example{-3.0, -1.0, 3.0}}) {
    auto f = kavo_ops::qr_factors(matrix(1, 1, {e.a}).view());
    ASSERT_TRUE(f.has_value());
    EXPECT_EQ(f->q.data()[0], e.q);
    EXPECT_EQ(f->r.data()[0], e.r);
  }
  // m x 0: Q = I, empty R.
  auto empty = kavo_ops::qr_factors(matrix(3, 0, {}).view());
  ASSERT_TRUE(empty.has_value());
  EXPECT_EQ(contents(empty->q), (std::vector<double>{1, 0, 0, 0, 1, 0, 0, 0, 1}));
  EXPECT_EQ(empty->r.view().layout.shape, (kavo::Extents<2>{3, 0}));
  // 3 x 2: R's last row is zero.
  auto tall = kavo_ops::qr_factors(matrix(3, 2, {1, 2, 3, 4, 5, 6}).view());
  ASSERT_TRUE(tall.has_value());
  EXPECT_EQ(tall->r.data()[4], 0.0);
  EXPECT_EQ(tall->r.data()[5], 0.0);
  EXPECT_EQ(tall->r.data()[2], 0.0);
}

TEST(Qr, Errors) {
  struct Case {
    std::size_t m, n;
    std::vector<double> values;
    const char* message;
  };
  const double nan = std::nan("");
  const Case cases[] = {
      {2, 3, std::vector<double>(6, 1.0), "Shape mismatch: lhs [2, 3], rhs [3, 3]"},
      {2, 2, {1, 2, nan, 4}, "Storage error: QR input contains a non-finite value"},
      {2, 2, {1, 2, 3, INFINITY}, "Storage error: QR input contains a non-finite value"},
      {1, 1, {0.0}, "Storage error: QR pivot column 0 has zero norm: matrix is rank-deficient"},
      {3, 2, {1, 0, 2, 0, 3, 0}, "Storage error: QR pivot column 1 has zero norm: matrix is rank-deficient"},
      // Column 1 is zero below its diagonal only after the first reflection.
      {3, 2, {1, 2, 0, 0, 0, 0}, "Storage error: QR pivot column 1 has zero norm: matrix is rank-deficient"},
  };
  for (const Case& c : cases) {
    auto f = kavo_ops::qr_factors(matrix(c.m, c.n, c.values).view());
    ASSERT_FALSE(f.has_value()) << c.message;
    EXPECT_EQ(f.error().display(), c.message);
  }
}

}  // namespace
