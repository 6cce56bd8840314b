#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "../../support/test_matrices.h"
#include "../../support/tier_fixture.h"
#include "kavo_ops/linalg/hessenberg/hessenberg.h"
#include "kavo_ops/linalg/householder/householder_reflector.h"
#include "kavo_ops/linalg/scaling/power_of_two.h"

namespace kavo_ops {
namespace {

using test_matrices::random_matrix;
using test_matrices::row_major;
using test_matrices::similarity_ratios;
using test_matrices::SimilarityRatios;

std::vector<double> values_of(const kavo::OwnedArray<double, 2>& a) {
  return std::vector<double>(a.data(), a.data() + a.storage_len());
}

std::vector<double> identity(std::size_t n) {
  std::vector<double> q(n * n, 0.0);
  for (std::size_t i = 0; i < n; ++i) q[i * n + i] = 1.0;
  return q;
}

TEST(HessenbergFactors, SmallAndAlreadyHessenbergInputsComeBackUnchangedWithIdentityQ) {
  const std::vector<std::vector<double>> inputs = {
      {}, {7.5}, {1, 2, 3, 4}, {1, 2, 3, 4, 5, 6, 7, 8, 0, 9, 10, 11, 0, 0, 12, 13}};
  for (const auto& a : inputs) {
    const std::size_t n = static_cast<std::size_t>(std::lround(std::sqrt(a.size())));
    auto f = hessenberg_factors(row_major(a, n, n));
    ASSERT_TRUE(f) << n;
    EXPECT_EQ(f->h.layout().shape, (kavo::Extents<2>{n, n}));
    EXPECT_EQ(values_of(f->h), a);
    EXPECT_EQ(values_of(f->q), identity(n));
  }
}

TEST(HessenbergFactors, RejectsRectangularAndNonFiniteInput) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    std::vector<double> a;
    std::uint64_t rows, cols;
    std::string message;
  };
  const std::vector<Case> cases = {
      {std::vector<double>(12, 1.0), 3, 4, "Shape mismatch: lhs [3, 4], rhs [3, 3]"},
      {{1, 2, inf, 4}, 2, 2, "Storage error: Hessenberg input contains a non-finite value"},
      {{1, 2, 3, 4, nan, 6, 7, 8, 9}, 3, 3, "Storage error: Hessenberg input contains a non-finite value"},
  };
  for (const auto& c : cases) {
    auto f = hessenberg_factors(row_major(c.a, c.rows, c.cols));
    ASSERT_FALSE(f);
    EXPECT_EQ(f.error().display(), c.message);
  }
}

TEST(HessenbergFactors, ResidualsStaySmallFromUnderflowToOverflow) {
  struct Case {
    std::string name;
    std::size_t n;
    std::vector<double> a;
  };
  std::vector<Case> cases;
  for (std::size_t n : {3, 4, 7, 20, 33, 64}) cases.push_back({"random" + std::to_string(n), n, random_matrix(n, n)});
  // Graded: entries spanning 1e-12 .. 1.
  {
    const std::size_t n = 12;
    auto a = random_matrix(n, 99);
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = 0; j < n; ++j) a[i * n + j] *= std::pow(10.0, -double(i + j) / 2.0);
    cases.push_back({"graded", n, a});
  }
  // Entries near 3e307 overflowed inside the reflector products before the
  // power-of-two scaling was added; 1e-310 is subnormal.
  cases.push_back({"near_overflow", 30, random_matrix(30, 5, 3e307)});
  cases.push_back({"near_overflow_full", 10, std::vector<double>(100, 1.5e307)});
  cases.push_back({"near_underflow", 30, random_matrix(30, 6, 1e-300)});
  cases.push_back({"subnormal", 8, random_matrix(8, 7, 1e-310)});
  for (const auto& c : cases) {
    auto f = hessenberg_factors(row_major(c.a, c.n, c.n));
    ASSERT_TRUE(f) << c.name;
    const double* h = f->h.data();
    for (std::size_t i = 0; i < c.n * c.n; ++i) ASSERT_TRUE(std::isfinite(h[i])) << c.name;
    for (std::size_t r = 2; r < c.n; ++r)
      for (std::size_t col = 0; col + 1 < r; ++col) ASSERT_EQ(h[r * c.n + col], 0.0) << c.name;
    const SimilarityRatios ratios = similarity_ratios(c.a, f->q.data(), h, c.n);
    EXPECT_LT(ratios.reconstruction, 30.0L) << c.name;
    EXPECT_LT(ratios.orthogonality, 30.0L) << c.name;
  }
}

TEST(HessenbergFactors, ScaledReductionIsTheExactMultipleOfTheUnscaledOne) {
  // Outside the safe window the matrix is reduced as A·2^-s: Q is the same
  // to the bit and H is the unscaled H times the power of two.
  const std::size_t n = 9;
  const auto a = random_matrix(n, 42);
  auto base = hessenberg_factors(row_major(a, n, n));
  ASSERT_TRUE(base);
  for (int e : {1015, -1000}) {
    std::vector<double> scaled(a);
    for (double& x : scaled) x = scale_by_power_of_two(x, e);
    auto f = hessenberg_factors(row_major(scaled, n, n));
    ASSERT_TRUE(f) << e;
    EXPECT_EQ(values_of(f->q), values_of(base->q)) << e;
    for (std::size_t i = 0; i < n * n; ++i) EXPECT_EQ(f->h.data()[i], scale_by_power_of_two(base->h.data()[i], e)) << e;
  }
}

TEST(HessenbergScaleExponent, ScalesOnlyOutsideTheSafeWindow) {
  // n = 9: c = 4, upper end 2^(1021 - 8) = 2^1013; lower end 2^-900.
  EXPECT_EQ(hessenberg_scale_exponent(0x1.fp1012, 9), 0);
  EXPECT_EQ(hessenberg_scale_exponent(0x1p1013, 9), 1013);
  EXPECT_EQ(hessenberg_scale_exponent(0x1p1013, 8), 0);  // c = 3 for n = 8
  EXPECT_EQ(hessenberg_scale_exponent(0x1p-900, 9), 0);
  EXPECT_EQ(hessenberg_scale_exponent(0x1.fp-901, 9), -901);
  EXPECT_EQ(hessenberg_scale_exponent(0.0, 9), 0);
}

TEST(HessenbergFactors, AnEntryBeyondTheScalarRangeIsAnOverflow) {
  // H[1][0] = -‖(1.5e308, 1.5e308)‖ ≈ 2.1e308 cannot be represented.
  const std::vector<double> a = {0, 1, 1, 1.5e308, 1, 1, 1.5e308, 1, 1};
  auto f = hessenberg_factors(row_major(a, 3, 3));
  ASSERT_FALSE(f);
  EXPECT_EQ(f.error().display(), "Arithmetic overflow in layout calculations: Hessenberg form entry exceeds the scalar range");
}

TEST(HessenbergFactors, ReadsAnyLayoutInLogicalOrder) {
  const std::size_t n = 5;
  const auto a = random_matrix(n, 3);
  std::vector<double> column_major(n * n);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j) column_major[j * n + i] = a[i * n + j];
  kavo::View<double, 2> view{column_major.data(), n * n, {{n, n}, {1, static_cast<std::int64_t>(n)}, 0}};
  auto f = hessenberg_factors(view);
  auto g = hessenberg_factors(row_major(a, n, n));
  ASSERT_TRUE(f && g);
  EXPECT_EQ(values_of(f->h), values_of(g->h));
  EXPECT_EQ(values_of(f->q), values_of(g->q));
}

// The sweep as first written: each reflector applied from the left to the
// trailing rows, then from the right to every row of H and to rows 1.. of Q.
void plain_sweep(std::vector<double>& h, std::size_t n, std::vector<double>* q) {
  for (std::size_t i = 0; i + 2 < n; ++i) {
    std::vector<double> column(n - i - 1);
    for (std::size_t r = 0; r < column.size(); ++r) column[r] = h[(i + 1 + r) * n + i];
    const auto reflector = generate_reflector(column);
    if (!reflector) continue;
    apply_reflector_left(*reflector, h, n, i + 1, i, n);
    apply_reflector_right(*reflector, h, n, 0, n, i + 1);
    if (q) apply_reflector_right(*reflector, *q, n, 1, n, i + 1);
  }
  for (std::size_t r = 2; r < n; ++r)
    for (std::size_t c = 0; c + 1 < r; ++c) h[r * n + c] = 0.0;
}

class HessenbergSweepTiers : public tier_testing::TierTest {};

// Recording the right updates, splitting steps over the executor and tiling
// the recorded updates only rearrange the work: on both sides of every size
// limit (forced small here), with and without Q, and across a step that
// generates no reflector, every bit matches the plain sweep.
TEST_P(HessenbergSweepTiers, EverySplitGivesThePlainSweepBitForBit) {
  struct Split {
    std::string name;
    HessenbergSplit split;
  };
  const std::vector<Split> splits = {
      {"defaults", {}},
      {"step by step", {.record_from = 1000000}},
      {"all parallel, tiny pieces",
       {.parallel_elements = 1, .column_chunk = 3, .row_chunk = 2, .record_from = 3, .recorded_rows = 5,
        .recorded_tile = 3, .recorded_parallel_work = 1}},
      {"parallel steps, sequential records",
       {.parallel_elements = 1, .column_chunk = 8, .row_chunk = 7, .record_from = 3, .recorded_rows = 96,
        .recorded_tile = 32, .recorded_parallel_work = std::uint64_t{1} << 62}},
      {"parallel steps unrecorded", {.parallel_elements = 200, .column_chunk = 5, .row_chunk = 3, .record_from = 1000000}},
  };
  struct Input {
    std::string name;
    std::size_t n;
    std::vector<double> a;
  };
  std::vector<Input> inputs;
  for (std::size_t n : {3, 4, 9, 47, 48, 61, 97}) inputs.push_back({"random " + std::to_string(n), n, random_matrix(n, n + 5)});
  {
    // Block upper triangular with a 6×6 leading block: step 5 finds column
    // 5 already zero below the subdiagonal and generates no reflector.
    const std::size_t n = 53;
    auto a = random_matrix(n, 77);
    for (std::size_t r = 6; r < n; ++r)
      for (std::size_t c = 0; c < 6; ++c) a[r * n + c] = 0.0;
    inputs.push_back({"block triangular", n, a});
  }
  {
    // Already Hessenberg in its first columns: the sweep records nothing
    // before step 7.
    const std::size_t n = 50;
    auto a = random_matrix(n, 78);
    for (std::size_t c = 0; c < 7; ++c)
      for (std::size_t r = c + 2; r < n; ++r) a[r * n + c] = 0.0;
    inputs.push_back({"late start", n, a});
  }
  for (const Input& input : inputs) {
    const std::size_t n = input.n;
    std::vector<double> want_h(input.a), want_q = identity(n);
    plain_sweep(want_h, n, &want_q);
    std::vector<double> want_h_alone(input.a);
    plain_sweep(want_h_alone, n, nullptr);
    for (const Split& s : splits) {
      std::vector<double> h(input.a), q = identity(n);
      hessenberg_sweep(h.data(), n, q.data(), s.split);
      EXPECT_EQ(h, want_h) << input.name << ", " << s.name;
      EXPECT_EQ(q, want_q) << input.name << ", " << s.name;
      std::vector<double> h_alone(input.a);
      hessenberg_sweep(h_alone.data(), n, nullptr, s.split);
      EXPECT_EQ(h_alone, want_h_alone) << input.name << ", " << s.name << ", without Q";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllTiers, HessenbergSweepTiers, ::testing::ValuesIn(tier_testing::all_tiers),
                         tier_testing::TierName());

}  // namespace
}  // namespace kavo_ops
