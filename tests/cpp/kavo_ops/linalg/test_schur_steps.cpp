#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "kavo_ops/linalg/schur/francis_steps.h"
#include "../../support/tier_fixture.h"

namespace kavo_ops::francis {
namespace {

std::vector<double> random_values(std::size_t count, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<double> v(count);
  for (double& x : v) x = uniform(rng);
  return v;
}

class BulgeReflectionTiers : public tier_testing::TierTest {};

TEST_P(BulgeReflectionTiers, LeftUpdateRoundsAsTheColumnLoopUpToThirtyOneColumnsAndAsAxpyAbove) {
  const BulgeReflector p{0.37, -0.81, 1.42, 0.0};
  for (std::size_t r : {2, 3}) {
    for (std::size_t width : {kWorkRowAbove, kWorkRowAbove + 1, std::size_t{77}}) {
      const std::size_t stride = width + 5;
      const auto start = random_values(3 * stride, width + r);
      std::vector<double> got(start);
      reflect_bulge_left(got.data(), stride, 0, r, 2, 2 + width, p);
      std::vector<double> want(start);
      const double v[3] = {1.0, p.v1, p.v2};
      for (std::size_t j = 2; j < 2 + width; ++j) {
        double sum;
        if (width > kWorkRowAbove) {  // the axpy kernel's rounding: one fma per term from 0
          sum = 0.0;
          for (std::size_t i = 0; i < r; ++i) sum = std::fma(v[i], want[i * stride + j], sum);
          sum *= p.tau;
          for (std::size_t i = 0; i < r; ++i) want[i * stride + j] = std::fma(-v[i], sum, want[i * stride + j]);
        } else {  // the three-term update, every product rounded
          sum = want[j];
          for (std::size_t i = 1; i < r; ++i) sum = sum + v[i] * want[i * stride + j];
          sum = p.tau * sum;
          for (std::size_t i = 0; i < r; ++i) want[i * stride + j] = want[i * stride + j] - v[i] * sum;
        }
      }
      EXPECT_EQ(got, want) << "r " << r << " width " << width;
    }
  }
}

TEST_P(BulgeReflectionTiers, TransposedZUpdateEqualsTheColumnUpdateBitForBit) {
  const BulgeReflector p{-0.53, 0.29, 1.77, 0.0};
  const std::size_t n = 23;
  for (std::size_t r : {2, 3}) {
    const auto z = random_values(n * n, 40 + r);
    std::vector<double> by_columns(z);
    reflect_bulge_right(by_columns.data(), n, 0, n - 1, 6, r, p);
    std::vector<double> zt(n * n);
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = 0; j < n; ++j) zt[j * n + i] = z[i * n + j];
    reflect_bulge_transposed(zt.data(), n, 6, r, p);
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = 0; j < n; ++j) ASSERT_EQ(zt[j * n + i], by_columns[i * n + j]) << i << ", " << j;
  }
}

INSTANTIATE_TEST_SUITE_P(AllTiers, BulgeReflectionTiers, ::testing::ValuesIn(tier_testing::all_tiers),
                         tier_testing::TierName());

TEST(BulgeReflector, MapsItsVectorOntoTheFirstAxisAtEveryScale) {
  const std::vector<std::vector<double>> inputs = {
      {3, 4, 0}, {-1, 2, 2}, {1e-160, 1e-160, 2e-160}, {1e200, -3e200, 1e199}, {0, 5e-320, 1e-321}, {2, 0, 7}};
  for (const auto& x : inputs) {
    const auto p = bulge_reflector(x.data(), 3);
    ASSERT_TRUE(p);
    const double u[3] = {1.0, p->v1, p->v2};
    const double s = x[0] * u[0] + x[1] * u[1] + x[2] * u[2];
    const double norm = std::hypot(std::hypot(x[0], x[1]), x[2]);
    for (std::size_t i = 0; i < 3; ++i) {
      const double image = x[i] - p->tau * s * u[i];
      EXPECT_NEAR(image / norm, i == 0 ? p->beta / norm : 0.0, 1e-15) << x[0];
    }
    EXPECT_NEAR(std::fabs(p->beta) / norm, 1.0, 1e-15);
  }
  const double zero_tail[3] = {4, 0, 0};
  EXPECT_FALSE(bulge_reflector(zero_tail, 3));
  EXPECT_FALSE(bulge_reflector(zero_tail, 2));
  const double two[2] = {3, 4};
  const auto p = bulge_reflector(two, 2);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->beta, -5.0);
  EXPECT_EQ(p->v2, 0.0);
}

TEST(StandardizeBlock, ProducesTheStandardFormAndItsRotation) {
  struct Block {
    double a, b, c, d;
    bool complex_pair;
  };
  const std::vector<Block> blocks = {
      {1, 2, -3, 4, true},    {0, -1, 1, 0, true},   {1, 2, 3, 4, false}, {5, 0, 1, 2, false},
      {2, 1, 0, 3, false},    {1, 1, -1e-20, 1, true}, {1e300, 1e300, 1e300, -1e300, false},
      {3, 1e-300, -1e-300, 3, true},
  };
  for (const auto& blk : blocks) {
    const StandardBlock s = standardize_block(blk.a, blk.b, blk.c, blk.d);
    // [a b; c d]_new = Rᵀ·[a b; c d]·R with R = [cs -sn; sn cs].
    const double cs = s.cs, sn = s.sn;
    const double m00 = blk.a * cs + blk.b * sn, m01 = -blk.a * sn + blk.b * cs;
    const double m10 = blk.c * cs + blk.d * sn, m11 = -blk.c * sn + blk.d * cs;
    const double scale = std::fabs(blk.a) + std::fabs(blk.b) + std::fabs(blk.c) + std::fabs(blk.d);
    EXPECT_NEAR((cs * m00 + sn * m10 - s.a) / scale, 0.0, 1e-15);
    EXPECT_NEAR((cs * m01 + sn * m11 - s.b) / scale, 0.0, 1e-15);
    EXPECT_NEAR((-sn * m00 + cs * m10 - s.c) / scale, 0.0, 1e-15);
    EXPECT_NEAR((-sn * m01 + cs * m11 - s.d) / scale, 0.0, 1e-15);
    EXPECT_NEAR(cs * cs + sn * sn, 1.0, 1e-15);
    EXPECT_EQ(s.c != 0.0, blk.complex_pair) << blk.a << " " << blk.b << " " << blk.c;
    if (blk.complex_pair) {
      EXPECT_EQ(s.a, s.d);
      EXPECT_NE(std::signbit(s.b), std::signbit(s.c));
      EXPECT_EQ(s.rt1i, -s.rt2i);
      EXPECT_GT(s.rt1i, 0.0);
    } else {
      EXPECT_EQ(s.rt1i, 0.0);
      EXPECT_EQ(s.rt1r, s.a);
      EXPECT_EQ(s.rt2r, s.d);
    }
  }
}

TEST(DeflationFloor, FollowsTheLargestEntryAboveSafmin) {
  std::vector<double> h(16, 0.0);
  EXPECT_EQ(deflation_floor(h.data(), 4), kSafmin);
  h[5] = 1.0;  // E = 0, c = 2: 2^(0-2)·2^(2-970)
  EXPECT_EQ(deflation_floor(h.data(), 4), 0x1p-970);
  h[5] = 0x1p-100;  // 2^-1070 lies below safmin
  EXPECT_EQ(deflation_floor(h.data(), 4), kSafmin);
}

TEST(NegligibleSubdiagonal, StandardAndRelaxedFormsOnBothSides) {
  // 3×3 with the tested entry at (2, 1).
  auto matrix = [](double sub, double diag, double super, double left, double last) {
    return std::vector<double>{1, 0, 0, left, diag, super, 0, sub, last};
  };
  struct Case {
    std::vector<double> h;
    bool standard, relaxed;
  };
  const std::vector<Case> cases = {
      {matrix(1e-3, 1, 1, 0, 2), false, false},
      // Tiny against the diagonal, and the off-diagonal product is tiny
      // against the gap: negligible both ways.
      {matrix(1e-17, 1, 1, 0, 2), true, true},
      // Equal diagonal entries (no gap) and a large super-diagonal: the
      // standard test keeps it, the relaxed one drops it.
      {matrix(1e-17, 1, 1e3, 0, 1), false, true},
      // Zero diagonal: the standard test falls back on the neighbours.
      {matrix(1e-300, 0, 1, 1, 0), false, true},
  };
  for (const auto& c : cases) {
    std::vector<double> h(c.h);
    ActiveMatrix m{h.data(), 3, nullptr, false};
    EXPECT_EQ(negligible_subdiagonal(m, 2, kSafmin, false), c.standard) << c.h[7];
    EXPECT_EQ(negligible_subdiagonal(m, 2, kSafmin, true), c.relaxed) << c.h[7];
  }
  std::vector<double> tiny = matrix(1e-300, 1, 1, 0, 1);
  ActiveMatrix m{tiny.data(), 3, nullptr, false};
  EXPECT_TRUE(negligible_subdiagonal(m, 2, 1e-299, false));  // under the absolute floor
}

}  // namespace
}  // namespace kavo_ops::francis
