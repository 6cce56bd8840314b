// Bidiagonal QR: the rotation generator and the 2 x 2 SVD against their
// defining identities on both sides of their scaling windows and cut-off,
// the iteration's residual and orthogonality, convergence at order 3000,
// the step budget's size rule on both sides, the deferred rotations equal
// the plain loop bit for bit on every tier.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "../../support/tier_fixture.h"
#include "kavo_ops/linalg/svd/bidiagonal_qr/bidiagonal_qr.h"
#include "kavo_ops/linalg/svd/bidiagonal_qr/rotation.h"
#include "kavo_ops/linalg/svd/bidiagonal_qr/rotation_log.h"
#include "kavo_ops/linalg/svd/bidiagonal_qr/two_by_two.h"

namespace {

constexpr double kEps = 0x1p-52;

std::vector<double> random_values(std::size_t count, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> normal;
  std::vector<double> values(count);
  for (double& value : values) value = normal(rng);
  return values;
}

TEST(BidiagonalQrRotation, ZeroesTheSecondEntryAcrossTheRange) {
  const double rtmax = std::sqrt(0x1.fffffffffffffp1023 / 2.0);
  struct Case {
    double f, g;
  };
  for (const Case& c : {Case{3.0, 4.0}, Case{-3.0, 4.0}, Case{0.0, -2.0}, Case{1e300, 1e300}, Case{-1e308, 3e307},
                        Case{rtmax * 0.99, rtmax * 0.5}, Case{rtmax * 1.01, rtmax}, Case{1e-300, 2e-300},
                        Case{0x1p-511, 0x1p-512}, Case{0x1p-520, -0x1p-521}}) {
    const kavo_ops::Rotation r = kavo_ops::make_rotation(c.f, c.g);
    ASSERT_TRUE(std::isfinite(r.r)) << c.f << " " << c.g;
    EXPECT_GT(r.r, 0.0);
    EXPECT_NEAR(r.c * r.c + r.s * r.s, 1.0, 4 * kEps);
    EXPECT_NEAR((r.c * (c.f / r.r) + r.s * (c.g / r.r)), 1.0, 4 * kEps) << c.f << " " << c.g;
    EXPECT_NEAR(-r.s * (c.f / r.r) + r.c * (c.g / r.r), 0.0, 4 * kEps);
    EXPECT_EQ(std::signbit(r.c), std::signbit(c.f));
  }
  const kavo_ops::Rotation identity = kavo_ops::make_rotation(-7.0, 0.0);
  EXPECT_EQ(identity.c, 1.0);
  EXPECT_EQ(identity.s, 0.0);
  EXPECT_EQ(identity.r, -7.0);
}

TEST(BidiagonalQrTwoByTwo, DiagonalisesTheTriangleOnBothSidesOfTheCutoff) {
  struct Case {
    double f, g, h;
  };
  // g / f of 2^54 and 2^52 straddle the 2^-53 cut-off; |h| > |f| swaps.
  for (const Case& c : {Case{1.0, 2.0, 3.0}, Case{3.0, 2.0, -1.0}, Case{-2.0, 0.0, 5.0}, Case{1.0, 0x1p54, 1.0},
                        Case{1.0, 0x1p52, -1.0}, Case{0.0, 1.0, 2.0}, Case{4.0, 1.0, 0.0}, Case{1e-100, 1e100, 1.0},
                        Case{-3.0, 1e-20, 3.0}, Case{2.0, 2.0, 2.0}}) {
    const kavo_ops::TwoByTwoSvd s = kavo_ops::two_by_two_svd(c.f, c.g, c.h);
    // [cl sl; -sl cl] [f g; 0 h] [cr -sr; sr cr]
    const double l00 = s.cl * c.f, l01 = s.cl * c.g + s.sl * c.h;
    const double l10 = -s.sl * c.f, l11 = -s.sl * c.g + s.cl * c.h;
    const double r00 = l00 * s.cr + l01 * s.sr, r01 = -l00 * s.sr + l01 * s.cr;
    const double r10 = l10 * s.cr + l11 * s.sr, r11 = -l10 * s.sr + l11 * s.cr;
    const double norm = std::max({std::fabs(c.f), std::fabs(c.g), std::fabs(c.h)});
    EXPECT_GE(std::fabs(s.ssmax), std::fabs(s.ssmin));
    EXPECT_NEAR(r00, s.ssmax, 8 * kEps * norm) << c.f << " " << c.g << " " << c.h;
    EXPECT_NEAR(r11, s.ssmin, 8 * kEps * norm) << c.f << " " << c.g << " " << c.h;
    EXPECT_NEAR(r01, 0.0, 8 * kEps * norm);
    EXPECT_NEAR(r10, 0.0, 8 * kEps * norm);
    // |ssmax * ssmin| = |f h| to high relative accuracy.
    EXPECT_NEAR(std::fabs(s.ssmax * s.ssmin), std::fabs(c.f * c.h), 8 * kEps * std::fabs(c.f * c.h));
  }
}

// Runs the iteration with both factors from the identity and returns the
// worst of ||B - U diag(d) V^T|| / (k eps ||B||) and the orthogonality ratios.
double qr_ratio(std::vector<double> d, std::vector<double> e) {
  const std::size_t k = d.size();
  const std::vector<double> d0 = d, e0 = e;
  std::vector<double> ut(k * k, 0.0), vt(k * k, 0.0);
  for (std::size_t i = 0; i < k; ++i) ut[i * k + i] = vt[i * k + i] = 1.0;
  kavo_ops::RotationLog u(ut.data(), k, 64), v(vt.data(), k, 64);
  EXPECT_TRUE(kavo_ops::bidiagonal_qr(d, e, &u, &v).has_value());
  for (std::size_t i = 0; i + 1 < k; ++i) EXPECT_EQ(e[i], 0.0);
  double norm = 0.0, worst = 0.0;
  for (std::size_t i = 0; i < k; ++i) norm = std::max({norm, std::fabs(d0[i]), i + 1 < k ? std::fabs(e0[i]) : 0.0});
  for (std::size_t i = 0; i < k; ++i) {
    for (std::size_t j = 0; j < k; ++j) {
      double sum = 0.0, gu = 0.0, gv = 0.0;
      for (std::size_t p = 0; p < k; ++p) {
        sum += ut[p * k + i] * d[p] * vt[p * k + j];
        gu += ut[i * k + p] * ut[j * k + p];
        gv += vt[i * k + p] * vt[j * k + p];
      }
      const double b = j == i ? d0[i] : (j == i + 1 ? e0[i] : 0.0);
      const double identity = i == j ? 1.0 : 0.0;
      worst = std::max({worst, std::fabs(b - sum) / (k * kEps * norm), std::fabs(gu - identity) / (k * kEps),
                        std::fabs(gv - identity) / (k * kEps)});
    }
  }
  return worst;
}

TEST(BidiagonalQr, DiagonalisesWithOrthogonalFactors) {
  struct Case {
    const char* name;
    std::vector<double> d, e;
  };
  std::vector<Case> cases;
  for (std::size_t k : {2, 3, 10, 60}) {
    cases.push_back({"random", random_values(k, k), random_values(k, k + 1000)});
  }
  std::vector<double> graded_d(30), graded_e(30);
  for (std::size_t i = 0; i < 30; ++i) graded_d[i] = std::pow(10.0, -static_cast<double>(i)), graded_e[i] = graded_d[i];
  cases.push_back({"graded_down", graded_d, graded_e});
  std::reverse(graded_d.begin(), graded_d.end());
  cases.push_back({"graded_up", graded_d, graded_e});
  // Exact zero diagonal entries inside and at the bottom: the rotation chases.
  cases.push_back({"zero_inside", {1.0, 2.0, 0.0, 3.0, 4.0}, {1.0, 1.0, 1.0, 1.0, 0.0}});
  cases.push_back({"zero_bottom", {1.0, 2.0, 3.0, 0.0}, {1.0, 1.0, 1.0, 0.0}});
  cases.push_back({"zero_top", {0.0, 2.0, 3.0}, {1.0, 1.0, 0.0}});
  cases.push_back({"all_equal", std::vector<double>(20, 1.0), std::vector<double>(20, 1.0)});
  cases.push_back({"huge", {1e300, -1e300, 3e299}, {1e300, 2e300, 0.0}});
  cases.push_back({"tiny", {1e-300, -1e-300, 3e-301}, {1e-300, 2e-300, 0.0}});
  for (const Case& c : cases) EXPECT_LT(qr_ratio(c.d, c.e), 35.0) << c.name << " " << c.d.size();
}

TEST(BidiagonalQr, ConvergesAtOrder3000) {
  const std::size_t k = 3000;
  std::vector<double> d = random_values(k, 1), e = random_values(k, 2);
  const std::vector<double> d0 = d, e0 = e;
  ASSERT_TRUE(kavo_ops::bidiagonal_qr(d, e, nullptr, nullptr).has_value());
  // The sum of squares of the singular values is ||B||_F^2.
  double before = 0.0, after = 0.0;
  for (std::size_t i = 0; i < k; ++i) before += d0[i] * d0[i] + (i + 1 < k ? e0[i] * e0[i] : 0.0);
  for (double x : d) after += x * x;
  EXPECT_NEAR(after, before, 1e-10 * before);
}

TEST(BidiagonalQr, StepBudgetGrowsWithOrderAboveItsFloor) {
  EXPECT_EQ(kavo_ops::bidiagonal_qr_step_budget(1), 4000u);
  EXPECT_EQ(kavo_ops::bidiagonal_qr_step_budget(25), 4000u);   // 6 * 625 = 3750
  EXPECT_EQ(kavo_ops::bidiagonal_qr_step_budget(26), 4056u);   // 6 * 676
  EXPECT_EQ(kavo_ops::bidiagonal_qr_step_budget(3000), 54000000u);
  // A budget too small fails with the error; enough steps converge.
  std::vector<double> d = random_values(40, 3), e = random_values(40, 4);
  std::vector<double> d2 = d, e2 = e;
  auto failed = kavo_ops::bidiagonal_qr(d, e, nullptr, nullptr, 5);
  ASSERT_FALSE(failed.has_value());
  EXPECT_EQ(failed.error().display().find("bidiagonal SVD QR failed to converge") == std::string::npos, false);
  EXPECT_TRUE(kavo_ops::bidiagonal_qr(d2, e2, nullptr, nullptr, 4000).has_value());
}

// The chunked application equals applying each rotation to whole rows.
class RotationLogTiers : public tier_testing::TierTest {};

TEST_P(RotationLogTiers, ChunkedEqualsPlainLoopBitForBit) {
  struct Case {
    std::size_t length, rotations, capacity;
  };
  // Capacity 7 flushes mid-way; the last case is long enough to be split
  // into column ranges on the executor.
  for (Case c : {Case{5, 50, 7}, Case{16, 50, 7}, Case{37, 50, 7}, Case{100, 50, 7}, Case{700, 600, 1000}}) {
    const std::size_t length = c.length;
    const std::size_t rows = 9;
    std::vector<double> chunked = random_values(rows * length, length);
    std::vector<double> plain = chunked;
    kavo_ops::RotationLog log(chunked.data(), length, c.capacity);
    std::mt19937_64 rng(length);
    for (std::size_t t = 0; t < c.rotations; ++t) {
      // Runs of chained neighbours (as sweeps make, upwards and downwards)
      // mixed with random pairs.
      const std::size_t phase = t % 24;
      std::size_t first = rng() % rows;
      std::size_t second = (first + 1 + rng() % (rows - 1)) % rows;
      if (phase < 8) {
        first = phase, second = phase + 1;
      } else if (phase < 16) {
        first = 16 - phase, second = 15 - phase;
      }
      const double angle = static_cast<double>(rng() % 1000) / 100.0;
      const double c = std::cos(angle), s = std::sin(angle);
      log.rotate(first, second, c, s);
      for (std::size_t j = 0; j < length; ++j) {
        const double x = plain[first * length + j], y = plain[second * length + j];
        plain[first * length + j] = c * x + s * y;
        plain[second * length + j] = c * y - s * x;
      }
    }
    log.flush();
    for (std::size_t i = 0; i < plain.size(); ++i) ASSERT_EQ(chunked[i], plain[i]) << length << " " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(AllTiers, RotationLogTiers, ::testing::ValuesIn(tier_testing::all_tiers),
                         tier_testing::TierName());

}  // namespace
