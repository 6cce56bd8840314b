// Bidiagonalization: both forms reproduce the input (U B V^T, orthogonal
// factors, exact zeros off the two diagonals), the reflector batches equal
// immediate application bit for bit on every tier, the working-copy scaling
// near the top of the range, the in-place generator's window, error cases.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "../../support/test_matrices.h"
#include "../../support/tier_fixture.h"
#include "kavo/constructors/constructors.h"
#include "kavo_ops/linalg/bidiagonal/bidiagonal.h"
#include "kavo_ops/linalg/bidiagonal/reflector_batch.h"
#include "kavo_ops/linalg/bidiagonal/scaled_reflector_in_place.h"
#include "kavo_ops/linalg/householder/householder_reflector.h"
#include "kavo_ops/slice_kernels/axpy_slice.h"
#include "kavo_ops/slice_kernels/dot_slice.h"

namespace {

using test_matrices::matrix;
using test_matrices::random_values;

constexpr double kEps = 0x1p-52;

double frobenius(const std::vector<double>& values) {
  double largest = 0.0;
  for (double v : values) largest = std::max(largest, std::fabs(v));
  if (largest == 0.0) return 0.0;
  double sum = 0.0;
  for (double v : values) sum += (v / largest) * (v / largest);
  return largest * std::sqrt(sum);
}

// ||A - U B V^T||_F / (max(m, n) eps ||A||_F) and the two orthogonality ratios.
struct Ratios {
  double residual, u_orthogonality, v_orthogonality;
};

Ratios ratios(const std::vector<double>& a, std::size_t m, std::size_t n, const kavo_ops::BidiagonalFactors& f) {
  const double* u = f.u.data();
  const double* b = f.b.data();
  const double* v = f.v.data();
  const double scale = frobenius(a);
  std::vector<double> diff(m * n);
  for (std::size_t i = 0; i < m; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      double sum = 0.0;
      for (std::size_t p = 0; p < m; ++p) {
        // B has at most two entries per row.
        for (std::size_t q = p; q < std::min(n, p + 2); ++q) sum += u[i * m + p] * b[p * n + q] * v[j * n + q];
      }
      diff[i * n + j] = a[i * n + j] - sum;
    }
  }
  auto orthogonality = [](const double* q, std::size_t order) {
    std::vector<double> gram(order * order);
    for (std::size_t i = 0; i < order; ++i) {
      for (std::size_t j = 0; j < order; ++j) {
        double sum = 0.0;
        for (std::size_t p = 0; p < order; ++p) sum += q[p * order + i] * q[p * order + j];
        gram[i * order + j] = sum - (i == j ? 1.0 : 0.0);
      }
    }
    return frobenius(gram) / (static_cast<double>(std::max<std::size_t>(order, 1)) * kEps);
  };
  const double size = static_cast<double>(std::max<std::size_t>({m, n, 1}));
  return {scale == 0.0 ? frobenius(diff) : frobenius(diff) / (size * kEps * scale), orthogonality(u, m),
          orthogonality(v, n)};
}

void expect_bidiagonal(const kavo_ops::BidiagonalFactors& f, std::size_t m, std::size_t n) {
  for (std::size_t i = 0; i < m; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      if (j != i && j != i + 1) {
        EXPECT_EQ(f.b.data()[i * n + j], 0.0) << i << "," << j;
      }
    }
  }
}

TEST(Bidiagonalize, ReproducesTheInputOverShapesAndScales) {
  struct Case {
    std::size_t m, n;
    double scale;
  };
  // 40 columns flush both batches twice mid-way and once at the end; 3e307
  // and 1e-300 need the working-copy scaling.
  for (const Case& c : {Case{1, 1, 1.0}, Case{3, 2, 1.0}, Case{7, 7, 1.0}, Case{12, 5, 1.0}, Case{40, 40, 1.0},
                        Case{60, 37, 1.0}, Case{5, 5, 3e307}, Case{6, 4, 2e307}, Case{20, 20, 1e-300},
                        Case{20, 20, 1e-310}}) {
    // Entries below 1 in magnitude keep every norm of the 3e307 cases finite.
    std::vector<double> a = random_values(c.m * c.n, c.m * 100 + c.n, 1.0);
    for (double& x : a) x = std::tanh(x);
    std::vector<double> scaled = a;
    for (double& x : scaled) x *= c.scale;
    const auto input = matrix(c.m, c.n, scaled);
    auto f = kavo_ops::bidiagonalize(input.view());
    ASSERT_TRUE(f.has_value());
    for (std::size_t i = 0; i < c.m * c.n; ++i) ASSERT_TRUE(std::isfinite(f->b.data()[i]));
    // The ratios are taken on the rescaled result, so huge entries compare
    // against finite products.
    std::vector<double> b_unit(f->b.data(), f->b.data() + c.m * c.n);
    for (double& x : b_unit) x /= c.scale;
    kavo_ops::BidiagonalFactors unit{std::move(f->u), matrix(c.m, c.n, b_unit), std::move(f->v)};
    const Ratios r = ratios(a, c.m, c.n, unit);
    EXPECT_LT(r.residual, 35.0) << c.m << "x" << c.n << " scale " << c.scale;
    EXPECT_LT(r.u_orthogonality, 35.0);
    EXPECT_LT(r.v_orthogonality, 35.0);
    expect_bidiagonal(unit, c.m, c.n);
  }
}

TEST(Bidiagonalize, EmptyColumnsAndLeftAloneColumns) {
  auto empty = kavo_ops::bidiagonalize(kavo::zeros<double, 2>({3, 0}).view());
  ASSERT_TRUE(empty.has_value());
  EXPECT_EQ(empty->u.layout().shape, (kavo::Extents<2>{3, 3}));
  EXPECT_EQ(empty->b.layout().shape, (kavo::Extents<2>{3, 0}));
  EXPECT_EQ(empty->v.layout().shape, (kavo::Extents<2>{0, 0}));
  EXPECT_EQ(empty->u.data()[4], 1.0);

  // Column 0 is already zero below its diagonal: no reflection, sign kept.
  const auto a = matrix(3, 2, {-2.0, 1.0, 0.0, 3.0, 0.0, 4.0});
  auto f = kavo_ops::bidiagonalize(a.view());
  ASSERT_TRUE(f.has_value());
  EXPECT_EQ(f->b.data()[0], -2.0);
  EXPECT_EQ(f->b.data()[1], 1.0);
  EXPECT_EQ(f->u.data()[0], 1.0);
}

TEST(Bidiagonalize, RejectsWideAndNonFiniteInput) {
  for (auto* form : {+[](const kavo::View<double, 2>& v) { return kavo_ops::bidiagonalize(v).error().display(); },
                     +[](const kavo::View<double, 2>& v) { return kavo_ops::bidiagonal_values(v).error().display(); }}) {
    EXPECT_NE(form(kavo::zeros<double, 2>({2, 3}).view()).find("[2, 3]"), std::string::npos);
  }
  auto wide = kavo_ops::bidiagonalize(kavo::zeros<double, 2>({2, 3}).view());
  ASSERT_NE(wide.error().get_if<kavo::ShapeMismatch>(), nullptr);
  EXPECT_EQ(wide.error().get_if<kavo::ShapeMismatch>()->rhs, (kavo::IndexList{3, 3}));
  // The NaN sits where B ends up zero: still rejected.
  for (double bad : {std::nan(""), HUGE_VAL}) {
    const auto a = matrix(3, 2, {1.0, 2.0, 3.0, 4.0, bad, 6.0});
    auto f = kavo_ops::bidiagonalize(a.view());
    ASSERT_FALSE(f.has_value());
    EXPECT_EQ(f.error().display().find("bidiagonalization input contains a non-finite value") == std::string::npos,
              false);
  }
}

// Values-only reduction: the same |d| and |e| as the accumulating one.
TEST(BidiagonalValues, AgreesWithTheAccumulatingForm) {
  for (auto [m, n] : {std::pair<std::size_t, std::size_t>{1, 1}, {5, 5}, {9, 4}, {64, 64}, {150, 70}}) {
    const auto a = matrix(m, n, random_values(m * n, m + 7 * n));
    auto values = kavo_ops::bidiagonal_values(a.view());
    auto full = kavo_ops::bidiagonalize(a.view());
    ASSERT_TRUE(values && full);
    const double scale = frobenius(random_values(m * n, m + 7 * n));
    for (std::size_t i = 0; i < n; ++i) {
      EXPECT_NEAR(std::fabs(values->d[i]), std::fabs(full->b.data()[i * n + i]), 50 * n * kEps * scale);
      if (i + 1 < n) {
        EXPECT_NEAR(std::fabs(values->e[i]), std::fabs(full->b.data()[i * n + i + 1]), 50 * n * kEps * scale);
      }
    }
  }
}

TEST(BidiagonalValues, ScaledGeneratorKeepsHugeAndTinyEntriesFinite) {
  const std::size_t m = 30, n = 20;
  const std::vector<double> a = random_values(m * n, 5);
  auto unit = kavo_ops::bidiagonal_values(matrix(m, n, a).view());
  ASSERT_TRUE(unit.has_value());
  for (double power : {0x1p1000, 0x1p-1000}) {
    std::vector<double> scaled = a;
    for (double& x : scaled) x *= power;
    auto values = kavo_ops::bidiagonal_values(matrix(m, n, scaled).view());
    ASSERT_TRUE(values.has_value());
    for (std::size_t i = 0; i < n; ++i) {
      ASSERT_TRUE(std::isfinite(values->d[i]) && std::isfinite(values->e[i]));
      EXPECT_NEAR(values->d[i] / power, unit->d[i], 100 * kEps * frobenius(a)) << i;
    }
  }
}

// H x = beta e_1 on both sides of the window's upper end, and the cases
// that generate nothing.
TEST(ScaledReflectorInPlace, AnnihilatesTheTailOnBothSidesOfTheWindow) {
  const kavo_ops::ReflectorWindow window = kavo_ops::reflector_window(4);
  for (double head : {window.upper, window.upper * 4.0, window.lower, window.lower / 4.0, 1.0}) {
    std::vector<double> x = {head, -0.5 * head, 0.25 * head, head};
    const std::vector<double> original = x;
    const kavo_ops::InPlaceReflector h = kavo_ops::scaled_reflector_in_place(x.data(), x.size(), window);
    ASSERT_TRUE(std::isfinite(h.beta) && h.beta != 0.0) << head;
    EXPECT_LT(h.beta, 0.0);  // opposite to x[0]
    // v = [1, x[1..]]; (I - tau v v^T) original.
    std::vector<double> v = x;
    v[0] = 1.0;
    double vx = 0.0;
    for (std::size_t i = 0; i < 4; ++i) vx += v[i] * (original[i] / head);
    for (std::size_t i = 0; i < 4; ++i) {
      const double hx = original[i] / head - h.tau * v[i] * vx;
      EXPECT_NEAR(hx, i == 0 ? h.beta / head : 0.0, 20 * kEps) << head << " " << i;
    }
  }
  std::vector<double> tail_zero = {-3.0, 0.0, 0.0};
  const auto none = kavo_ops::scaled_reflector_in_place(tail_zero.data(), 3, window);
  EXPECT_EQ(none.tau, 0.0);
  EXPECT_EQ(none.beta, -3.0);
  EXPECT_EQ(kavo_ops::scaled_reflector_in_place(tail_zero.data(), 1, window).beta, -3.0);
}

// Row by row across a batch equals reflector by reflector across all rows.
class ReflectorBatchTiers : public tier_testing::TierTest {};

TEST_P(ReflectorBatchTiers, BatchedEqualsImmediateBitForBit) {
  const std::size_t length = 45, rows = 23, reflectors = 20;
  std::vector<double> q = random_values(rows * length, 11);
  std::vector<double> expected = q;
  kavo_ops::ReflectorBatch batch(length);
  std::mt19937_64 rng(3);
  for (std::size_t i = 0; i < reflectors; ++i) {
    const std::size_t first = i * 2;
    const std::vector<double> v = random_values(length - first, 100 + i);
    const double tau = 2.0 / (1.0 + static_cast<double>(i));
    for (std::size_t r = 0; r < rows; ++r) {
      std::span<double> segment(expected.data() + r * length + first, length - first);
      const double s = kavo_ops::dot_slice(std::span<const double>(segment), std::span<const double>(v));
      kavo_ops::axpy_slice(-(tau * s), std::span<const double>(v), segment);
    }
    batch.push(first, v, tau);
    if (batch.full()) batch.apply_to(q.data(), rows);
  }
  EXPECT_EQ(batch.size(), reflectors - kavo_ops::ReflectorBatch::kCapacity);
  batch.apply_to(q.data(), rows);
  for (std::size_t i = 0; i < q.size(); ++i) ASSERT_EQ(q[i], expected[i]) << i;
}

// Tiles of reflectors over groups of rows, on the executor or not, short
// rows and long ones: every row takes the reflectors in order, bit for bit.
TEST_P(ReflectorBatchTiers, EverySplitEqualsImmediateBitForBit) {
  const std::vector<kavo_ops::ReflectorBatchSplit> splits = {
      {}, {.task_rows = 3, .tile = 2, .parallel_work = 0}, {.task_rows = 1000, .tile = 1, .parallel_work = 1u << 30}};
  for (std::size_t length : {45u, 600u}) {
    const std::size_t rows = 29, reflectors = 23;
    const std::vector<double> q0 = random_values(rows * length, length);
    std::vector<double> expected = q0;
    std::vector<std::vector<double>> vs;
    for (std::size_t i = 0; i < reflectors; ++i) {
      const std::size_t first = i * (length / 30);
      vs.push_back(random_values(length - first, 200 + i));
      const double tau = 2.0 / (3.0 + static_cast<double>(i));
      for (std::size_t r = 0; r < rows; ++r) {
        std::span<double> segment(expected.data() + r * length + first, length - first);
        const double s = kavo_ops::dot_slice(std::span<const double>(segment), std::span<const double>(vs.back()));
        kavo_ops::axpy_slice(-(tau * s), std::span<const double>(vs.back()), segment);
      }
    }
    for (const auto& split : splits) {
      std::vector<double> q = q0;
      kavo_ops::ReflectorBatch batch(length, reflectors, split);
      for (std::size_t i = 0; i < reflectors; ++i) batch.push(i * (length / 30), vs[i], 2.0 / (3.0 + static_cast<double>(i)));
      EXPECT_TRUE(batch.full());
      batch.apply_to(q.data(), rows);
      EXPECT_EQ(q, expected) << "length " << length << ", tile " << split.tile;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllTiers, ReflectorBatchTiers, ::testing::ValuesIn(tier_testing::all_tiers),
                         tier_testing::TierName());

// The reduction as first written: each left reflector over all rows, then
// each right one, every reflector applied to its factor at once.
kavo_ops::BidiagonalFactors plain_bidiagonalize(const std::vector<double>& a, std::size_t m, std::size_t n) {
  std::vector<double> b(a), u(m * m, 0.0), v(n * n, 0.0);
  for (std::size_t i = 0; i < m; ++i) u[i * m + i] = 1.0;
  for (std::size_t i = 0; i < n; ++i) v[i * n + i] = 1.0;
  auto apply_to_factor = [](std::vector<double>& q, std::size_t order, std::size_t first,
                            const kavo_ops::HouseholderReflector& h) {
    for (std::size_t r = 0; r < order; ++r) {
      std::span<double> segment(q.data() + r * order + first, order - first);
      const double s = kavo_ops::dot_slice(std::span<const double>(segment), std::span<const double>(h.v));
      kavo_ops::axpy_slice(-(h.tau * s), std::span<const double>(h.v), segment);
    }
  };
  for (std::size_t k = 0; k < n; ++k) {
    std::vector<double> column(m - k);
    for (std::size_t i = 0; i < m - k; ++i) column[i] = b[(k + i) * n + k];
    if (auto h = kavo_ops::generate_reflector(column)) {
      kavo_ops::apply_reflector_left(*h, b, n, k, k + 1, n);
      b[k * n + k] = h->beta;
      for (std::size_t i = k + 1; i < m; ++i) b[i * n + k] = 0.0;
      apply_to_factor(u, m, k, *h);
    }
    if (k + 1 < n) {
      const std::vector<double> row(b.begin() + k * n + k + 1, b.begin() + (k + 1) * n);
      if (auto g = kavo_ops::generate_reflector(row)) {
        kavo_ops::apply_reflector_right(*g, b, n, k + 1, m, k + 1);
        b[k * n + k + 1] = g->beta;
        for (std::size_t j = k + 2; j < n; ++j) b[k * n + j] = 0.0;
        apply_to_factor(v, n, k + 1, *g);
      }
    }
  }
  for (std::size_t i = 0; i < m; ++i)
    for (std::size_t j = 0; j < n; ++j)
      if (j < i || j > i + 1) b[i * n + j] = 0.0;
  return {matrix(m, m, u), matrix(m, n, b), matrix(n, n, v)};
}

std::vector<double> values_of(const kavo::OwnedArray<double, 2>& a) {
  return std::vector<double>(a.data(), a.data() + a.storage_len());
}

class BidiagonalizeTiers : public tier_testing::TierTest {};

// Two passes per step split over the executor, every reflector recorded for
// the factors: on both sides of every limit (forced small here), across
// steps without a left or a right reflector, the plain reduction's bits.
TEST_P(BidiagonalizeTiers, EverySplitGivesThePlainReductionBitForBit) {
  struct Split {
    const char* name;
    kavo_ops::BidiagonalizeSplit split;
  };
  const std::vector<Split> splits = {
      {"defaults", {}},
      {"two passes, parallel", {{.parallel_elements = 0, .column_chunk = 3, .row_chunk = 2},
                                {.task_rows = 5, .tile = 3, .parallel_work = 0}}},
      {"plain steps, sequential factors",
       {{.parallel_elements = std::uint64_t{1} << 62}, {.task_rows = 64, .tile = 1, .parallel_work = std::uint64_t{1} << 62}}},
  };
  struct Input {
    std::size_t m, n;
    std::vector<double> a;
  };
  std::vector<Input> inputs;
  for (auto [m, n] : std::vector<std::pair<std::size_t, std::size_t>>{{1, 1}, {5, 5}, {9, 4}, {40, 40}, {67, 23}, {130, 60}}) {
    inputs.push_back({m, n, random_values(m * n, m * 7 + n)});
  }
  {
    // Column 0 already zero below the diagonal: step 0 has no left reflector.
    const std::size_t m = 33, n = 33;
    auto a = random_values(m * n, 99);
    for (std::size_t i = 0; i < m; ++i)
      for (std::size_t j = 0; j < 4; ++j) a[i * n + j] = (i <= j) ? a[i * n + j] : 0.0;
    inputs.push_back({m, n, a});
  }
  {
    const std::size_t m = 20, n = 12;
    std::vector<double> a(m * n, 0.0);  // all zero: no reflector anywhere
    inputs.push_back({m, n, a});
  }
  for (const Input& input : inputs) {
    const kavo_ops::BidiagonalFactors want = plain_bidiagonalize(input.a, input.m, input.n);
    for (const Split& s : splits) {
      auto got = kavo_ops::bidiagonalize(test_matrices::row_major(input.a, input.m, input.n), s.split);
      ASSERT_TRUE(got);
      EXPECT_EQ(values_of(got->u), values_of(want.u)) << input.m << "x" << input.n << " U, " << s.name;
      EXPECT_EQ(values_of(got->b), values_of(want.b)) << input.m << "x" << input.n << " B, " << s.name;
      EXPECT_EQ(values_of(got->v), values_of(want.v)) << input.m << "x" << input.n << " V, " << s.name;
    }
  }
}

class BidiagonalValuesTiers : public tier_testing::TierTest {};

// Slabs of columns and bands of rows, each updated while still in cache,
// shared over the executor: the whole-block calls' bits, including steps
// whose reflector is skipped and slabs narrower than the kernels' groups.
TEST_P(BidiagonalValuesTiers, EverySplitGivesTheWholeBlockCallsBitForBit) {
  const kavo_ops::BidiagonalValuesSplit whole{.parallel_elements = std::uint64_t{1} << 62};
  const std::vector<kavo_ops::BidiagonalValuesSplit> splits = {
      {},
      {.parallel_elements = 0, .column_chunk = 3, .row_chunk = 2},
      {.parallel_elements = 0, .column_chunk = 1, .row_chunk = 1},
      {.parallel_elements = 200, .column_chunk = 5, .row_chunk = 7},
  };
  std::vector<std::pair<std::size_t, std::size_t>> shapes = {{1, 1}, {5, 5}, {9, 4}, {67, 23}, {130, 60}, {300, 260}};
  for (auto [m, n] : shapes) {
    std::vector<double> a = random_values(m * n, m * 5 + n);
    if (m == 67) {
      for (std::size_t i = 1; i < m; ++i) a[i * n] = 0.0;  // step 0: no left reflector
    }
    const auto want = kavo_ops::bidiagonal_values(test_matrices::row_major(a, m, n), whole);
    ASSERT_TRUE(want);
    for (const auto& split : splits) {
      const auto got = kavo_ops::bidiagonal_values(test_matrices::row_major(a, m, n), split);
      ASSERT_TRUE(got);
      EXPECT_EQ(got->d, want->d) << m << "x" << n << " chunks " << split.column_chunk << "/" << split.row_chunk;
      EXPECT_EQ(got->e, want->e) << m << "x" << n << " chunks " << split.column_chunk << "/" << split.row_chunk;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllTiers, BidiagonalValuesTiers, ::testing::ValuesIn(tier_testing::all_tiers),
                         tier_testing::TierName());

INSTANTIATE_TEST_SUITE_P(AllTiers, BidiagonalizeTiers, ::testing::ValuesIn(tier_testing::all_tiers),
                         tier_testing::TierName());

}  // namespace
