#include <gtest/gtest.h>

#include <algorithm>
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

// The chase as first written: every step's reflector across its whole rows
// and columns (and Z) before the next step.
void plain_chase(ActiveMatrix& mat, std::size_t lo, std::size_t hi, const BulgeStart& start) {
  const std::size_t m = start.m;
  const std::size_t n = mat.n;
  const std::size_t last_column = mat.full ? n : hi + 1;
  const std::size_t first_row = mat.full ? 0 : lo;
  for (std::size_t k = m; k < hi; ++k) {
    const std::size_t r = std::min<std::size_t>(3, hi - k + 1);
    double x[3];
    if (k == m) {
      for (std::size_t i = 0; i < 3; ++i) x[i] = start.v[i];
    } else {
      for (std::size_t i = 0; i < r; ++i) x[i] = mat.at(k + i, k - 1);
    }
    const auto p = bulge_reflector(x, r);
    if (!p) continue;
    if (k > m) {
      mat.at(k, k - 1) = p->beta;
      mat.at(k + 1, k - 1) = 0.0;
      if (r == 3) mat.at(k + 2, k - 1) = 0.0;
    } else if (m > lo) {
      mat.at(k, k - 1) *= (1.0 - p->tau);
    }
    reflect_bulge_left(mat.h, n, k, r, k, last_column, *p);
    reflect_bulge_right(mat.h, n, first_row, std::min(k + 3, hi), k, r, *p);
    if (mat.zt) reflect_bulge_transposed(mat.zt, n, k, r, *p);
  }
}

// An upper Hessenberg matrix with random entries.
std::vector<double> random_hessenberg(std::size_t n, std::uint64_t seed) {
  auto h = random_values(n * n, seed);
  for (std::size_t r = 2; r < n; ++r)
    for (std::size_t c = 0; c + 1 < r; ++c) h[r * n + c] = 0.0;
  return h;
}

struct NamedSplit {
  const char* name;
  ChaseSplit split;
};

// Windows of every size from one step up, their rest on the executor in
// tiny pieces or on the calling thread, and the small sweep's plain path.
const NamedSplit chase_splits[] = {
    {"defaults", {}},
    {"plain", {.windowed_from = std::size_t{1} << 40}},
    {"one-step windows", {.windowed_from = 0, .window = 1, .parallel_elements = std::uint64_t{1} << 62}},
    {"two-step windows, parallel", {.windowed_from = 0, .window = 2, .parallel_elements = 0, .piece = 3}},
    {"five-step windows, parallel", {.windowed_from = 0, .window = 5, .parallel_elements = 0, .piece = 17}},
    {"default windows, parallel", {.windowed_from = 0, .window = 32, .parallel_elements = 0, .piece = 64}},
    {"wide windows", {.windowed_from = 0, .window = 300, .parallel_elements = std::uint64_t{1} << 62}},
};

// Chasing in windows, with the rest of each window's rows and columns and Z
// reflected afterwards chunk by chunk (and the rows above through their
// transpose), changes no bit against the plain chase: both modes, blocks
// inside larger matrices, starts below the block's top, steps without a
// reflector, both roundings of the left update.
TEST_P(BulgeReflectionTiers, WindowedChaseEqualsThePlainChaseBitForBit) {
  struct Case {
    std::size_t n, lo, hi, m;
    double v[3];
  };
  const std::vector<Case> cases = {
      {40, 0, 39, 0, {0.8, -0.3, 0.45}},
      {75, 3, 70, 3, {1.0, 0.2, -0.7}},
      {75, 3, 70, 20, {0.6, 0.5, 0.1}},      // starts below lo: the (1 - tau) scaling
      {150, 10, 149, 10, {0.9, 0.0, 0.0}},  // no reflector for the first step
      {150, 0, 140, 100, {-0.2, 0.7, 0.3}},
      {133, 0, 132, 0, {0.5, 0.5, 0.5}},
  };
  for (const Case& c : cases) {
    const auto h0 = random_hessenberg(c.n, c.n + c.m);
    const auto z0 = random_values(c.n * c.n, c.n + 7);
    BulgeStart start{c.m, {c.v[0], c.v[1], c.v[2]}};
    for (bool full : {true, false}) {
      std::vector<double> want_h(h0), want_z(z0);
      ActiveMatrix plain{want_h.data(), c.n, full ? want_z.data() : nullptr, full};
      plain_chase(plain, c.lo, c.hi, start);
      for (const NamedSplit& s : chase_splits) {
        std::vector<double> h(h0), z(z0);
        ActiveMatrix mat{h.data(), c.n, full ? z.data() : nullptr, full, s.split};
        chase_bulge(mat, c.lo, c.hi, start);
        EXPECT_EQ(h, want_h) << "n " << c.n << " m " << c.m << (full ? " schur, " : " eigenvalues, ") << s.name;
        if (full) {
          EXPECT_EQ(z, want_z) << "n " << c.n << " m " << c.m << ", Z, " << s.name;
        }
      }
    }
  }
}

// The whole iteration, deflations and exceptional shifts included, under
// forced splits.
TEST_P(BulgeReflectionTiers, IterationUnderEverySplitEqualsThePlainOne) {
  const std::size_t n = 90;
  const auto h0 = random_hessenberg(n, 5);
  const auto z0 = random_values(n * n, 6);
  for (bool full : {true, false}) {
    std::vector<double> want_h(h0), want_z(z0);
    ActiveMatrix plain{want_h.data(), n, full ? want_z.data() : nullptr, full, chase_splits[1].split};
    ASSERT_TRUE(iterate_to_quasi_triangle(plain));
    for (const NamedSplit& s : chase_splits) {
      std::vector<double> h(h0), z(z0);
      ActiveMatrix mat{h.data(), n, full ? z.data() : nullptr, full, s.split};
      ASSERT_TRUE(iterate_to_quasi_triangle(mat));
      EXPECT_EQ(h, want_h) << (full ? "schur, " : "eigenvalues, ") << s.name;
      if (full) {
        EXPECT_EQ(z, want_z) << s.name;
      }
    }
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
