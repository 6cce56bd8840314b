#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "kavo_ops/linalg/full_piv_lu/eliminate_row.h"
#include "kavo_ops/linalg/full_piv_lu/full_piv_lu.h"
#include "kavo_ops/linalg/full_piv_lu/largest_magnitude.h"
#include "platform/invariant_failure.h"
#include "support/tier_fixture.h"

namespace kavo_ops {
namespace {
using namespace tier_testing;

const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

kavo::View<double, 2> row_major(const std::vector<double>& storage, std::uint64_t rows, std::uint64_t cols) {
  return {storage.data(), storage.size(), {{rows, cols}, {static_cast<std::int64_t>(cols), 1}, 0}};
}

// Bit patterns, every NaN as one: IEEE 754 leaves the sign and payload of a
// NaN made by an invalid operation open, and the tiers' fma differ there.
std::vector<std::uint64_t> bits(const double* values, std::size_t count) {
  std::vector<std::uint64_t> result(count);
  for (std::size_t i = 0; i < count; ++i) {
    result[i] = std::isnan(values[i]) ? std::bit_cast<std::uint64_t>(nan) : std::bit_cast<std::uint64_t>(values[i]);
  }
  return result;
}

template <class T>
std::vector<T> to_vector(const kavo::Buffer<T>& buffer) {
  return std::vector<T>(buffer.data(), buffer.data() + buffer.size());
}

// The elimination entry by entry, exactly as written down: the search visits
// every entry of the block in row-major order, the update is one fused
// multiply-add per entry. The fast path must reproduce it bit for bit.
struct PlainElimination {
  std::vector<double> factors;
  std::vector<std::uint64_t> row_perm, col_perm;
  std::uint64_t rank = 0;
  int sign = 1;
};

PlainElimination plain_elimination(std::vector<double> a, std::uint64_t n) {
  PlainElimination e{std::move(a), std::vector<std::uint64_t>(n), std::vector<std::uint64_t>(n)};
  std::iota(e.row_perm.begin(), e.row_perm.end(), 0);
  std::iota(e.col_perm.begin(), e.col_perm.end(), 0);
  double largest = 0.0;
  for (double v : e.factors) largest = std::fabs(v) > largest ? std::fabs(v) : largest;
  const double t = largest * 1e-12;
  auto at = [&](std::uint64_t i, std::uint64_t j) -> double& { return e.factors[i * n + j]; };
  std::uint64_t k = 0;
  for (; k < n; ++k) {
    std::uint64_t r = k, c = k;
    double best = std::fabs(at(k, k));
    for (std::uint64_t i = k; i < n; ++i) {
      for (std::uint64_t j = k; j < n; ++j) {
        if (std::fabs(at(i, j)) > best) best = std::fabs(at(i, j)), r = i, c = j;
      }
    }
    if (best <= t) break;
    if (r != k) {
      for (std::uint64_t j = 0; j < n; ++j) std::swap(at(k, j), at(r, j));
      std::swap(e.row_perm[k], e.row_perm[r]);
      e.sign = -e.sign;
    }
    if (c != k) {
      for (std::uint64_t i = 0; i < n; ++i) std::swap(at(i, k), at(i, c));
      std::swap(e.col_perm[k], e.col_perm[c]);
      e.sign = -e.sign;
    }
    for (std::uint64_t i = k + 1; i < n; ++i) {
      const double m = at(i, k) / at(k, k);
      at(i, k) = m;
      for (std::uint64_t j = k + 1; j < n; ++j) at(i, j) = std::fma(-m, at(k, j), at(i, j));
    }
  }
  e.rank = k;
  return e;
}

TEST(LargestMagnitude, MatchesThePlainScanIncludingTiesNanAndSignedZero) {
  // Few distinct magnitudes so that ties are everywhere; lengths around the
  // 8-entry rounds.
  const double pool[] = {0.0, -0.0, 1.0, -1.0, 2.0, -2.0, nan, inf, -inf, 0.5};
  std::mt19937_64 rng(7);
  for (std::size_t len = 0; len <= 35; ++len) {
    for (int trial = 0; trial < 200; ++trial) {
      std::vector<double> x(len);
      // Some trials leave out NaN and infinity, some are all NaN.
      const std::size_t choices = trial % 4 == 0 ? 6 : trial % 4 == 1 ? 10 : trial % 4 == 2 ? 7 : 1;
      for (double& v : x) v = trial % 4 == 3 ? nan : pool[rng() % choices];
      if (trial % 4 == 0 && len > 0) x[rng() % len] = -2.0;  // a maximum in any lane
      double best = -1.0;
      std::uint64_t index = 0;
      for (std::size_t j = 0; j < len; ++j) {
        if (std::fabs(x[j]) > best) best = std::fabs(x[j]), index = j;
      }
      const double found = largest_magnitude(x);
      ASSERT_EQ(std::bit_cast<std::uint64_t>(found), std::bit_cast<std::uint64_t>(best)) << len;
      if (best >= 0.0) {
        ASSERT_EQ(first_with_magnitude(x, found), index) << len;
      }
    }
  }
  const std::vector<double> ones = {1.0, -1.0};
  EXPECT_THROW(first_with_magnitude(ones, 2.0), platform::InvariantFailure);
}

class EliminateRowTest : public TierTest {};

// The fused kernel against its two plain halves, an fma per element and then
// the scan of the updated row, around every lane and block length.
TEST_P(EliminateRowTest, UpdatesAsFmaAndFindsTheLargestUpdatedMagnitude) {
  const double pool[] = {0.0, -0.0, 1.0, -1.0, 2.0, -2.0, 0.5, nan, inf, -inf};
  std::mt19937_64 rng(17);
  for (std::size_t len = 0; len <= 70; ++len) {
    for (int trial = 0; trial < 60; ++trial) {
      // Plain numbers, ties, and non-finite entries (including rows that
      // become all NaN).
      const std::size_t choices = trial % 3 == 0 ? 7 : 10;
      std::vector<double> x(len), row(len);
      for (std::size_t j = 0; j < len; ++j) {
        x[j] = trial % 3 == 1 ? pool[rng() % choices] : std::ldexp(static_cast<double>(rng() % 2001) - 1000.0, -7);
        row[j] = pool[rng() % choices];
      }
      const double alpha = trial % 5 == 0 ? inf : std::ldexp(static_cast<double>(rng() % 201) - 100.0, -5);
      std::vector<double> expected = row;
      for (std::size_t j = 0; j < len; ++j) expected[j] = std::fma(alpha, x[j], expected[j]);
      const double expected_largest = largest_magnitude(expected);
      const double largest = eliminate_row(alpha, x.data(), row.data(), len);
      ASSERT_EQ(bits(row.data(), len), bits(expected.data(), len)) << len;
      ASSERT_EQ(std::bit_cast<std::uint64_t>(largest), std::bit_cast<std::uint64_t>(expected_largest)) << len;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllTiers, EliminateRowTest, ::testing::ValuesIn(all_tiers), TierName());

class FullPivLuDecomposeTest : public TierTest {};

// Bit-identical to the entry-by-entry elimination on random, tied,
// rank-deficient and overflowing inputs, on every tier.
TEST_P(FullPivLuDecomposeTest, IsBitIdenticalToThePlainElimination) {
  std::mt19937_64 rng(11);
  std::normal_distribution<double> normal;
  struct Case {
    std::string name;
    std::uint64_t n;
    std::vector<double> a;
  };
  std::vector<Case> cases;
  for (std::uint64_t n : {1, 2, 3, 4, 7, 8, 9, 16, 17, 33, 70}) {
    std::vector<double> a(n * n);
    for (double& v : a) v = normal(rng);
    cases.push_back({"random" + std::to_string(n), n, a});
    for (double& v : a) v = static_cast<double>(static_cast<int>(rng() % 5) - 2);  // ties everywhere
    cases.push_back({"small_integers" + std::to_string(n), n, a});
    // Rank min(3, n): the product of n x 3 and 3 x n factors.
    std::vector<double> left(n * 3), right(3 * n);
    for (double& v : left) v = normal(rng);
    for (double& v : right) v = normal(rng);
    for (std::uint64_t i = 0; i < n; ++i) {
      for (std::uint64_t j = 0; j < n; ++j) {
        a[i * n + j] = 0.0;
        for (int p = 0; p < 3; ++p) a[i * n + j] += left[i * 3 + p] * right[p * n + j];
      }
    }
    cases.push_back({"rank3_" + std::to_string(n), n, a});
  }
  // Finite input whose elimination overflows to infinity and then NaN: the
  // search must treat NaN entries as the plain scan does.
  const double big = 1.7e308;
  cases.push_back({"overflow", 4, {big, big, big, big, -big, big, big, -big, big, -big, big, big, -big, big, -big, big}});
  cases.push_back({"zero", 5, std::vector<double>(25, 0.0)});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PlainElimination expected = plain_elimination(c.a, c.n);
    // Each step's rows on the calling thread, and (a limit of 4 entries)
    // split over the executor from the first step on.
    for (std::uint64_t parallel_entries : {full_piv_lu_parallel_entries(), std::uint64_t{4}}) {
      SCOPED_TRACE(parallel_entries);
      auto e = full_piv_lu_decompose(row_major(c.a, c.n, c.n), parallel_entries);
      ASSERT_TRUE(e);
      EXPECT_EQ(bits(e->factors.data(), c.n * c.n), bits(expected.factors.data(), c.n * c.n));
      EXPECT_EQ(to_vector(e->row_perm), expected.row_perm);
      EXPECT_EQ(to_vector(e->col_perm), expected.col_perm);
      EXPECT_EQ(e->rank, expected.rank);
      EXPECT_EQ(e->sign, expected.sign);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllTiers, FullPivLuDecomposeTest, ::testing::ValuesIn(all_tiers), TierName());

TEST(FullPivLuDecompose, StopsWhenThePivotIsAtMostTheRankThreshold) {
  // Largest magnitude 1, so the threshold is exactly 1e-12; a pivot equal to
  // it stops, the next larger double is taken.
  struct Case {
    double second_pivot;
    std::uint64_t rank;
  };
  for (const Case& c : {Case{1e-12, 1}, Case{std::nextafter(1e-12, 1.0), 2}, Case{0.0, 1}}) {
    std::vector<double> a = {1.0, 0.0, 0.0, c.second_pivot};
    auto e = full_piv_lu_decompose(row_major(a, 2, 2));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->rank, c.rank) << c.second_pivot;
  }
  // Scale-invariant: the same matrix times 2^-600 has the same rank.
  std::vector<double> scaled = {std::ldexp(1.0, -600), 0.0, 0.0, std::ldexp(std::nextafter(1e-12, 1.0), -600)};
  EXPECT_EQ(full_piv_lu_decompose(row_major(scaled, 2, 2))->rank, 2u);
}

TEST(FullPivLuDecompose, SignCountsRowAndColumnExchanges) {
  // [[1, 2], [3, 4]]: pivot 4 needs a row and a column exchange (sign +1);
  // [[1, 4], [2, 3]] only a column exchange.
  auto both = full_piv_lu_decompose(row_major({1, 2, 3, 4}, 2, 2));
  auto column = full_piv_lu_decompose(row_major({1, 4, 2, 3}, 2, 2));
  ASSERT_TRUE(both && column);
  EXPECT_EQ(both->sign, 1);
  EXPECT_EQ(column->sign, -1);
  // sign * prod(diag U) is the determinant.
  const double* u = column->factors.data();
  EXPECT_DOUBLE_EQ(column->sign * u[0] * u[3], 1.0 * 3 - 4.0 * 2);
}

TEST(FullPivLu, SmallExamples) {
  struct Case {
    std::string name;
    std::uint64_t n;
    std::vector<double> a;
    std::vector<double> l, u;
    std::vector<std::uint64_t> row_perm, col_perm;
  };
  const std::vector<Case> cases = {
      {"empty", 0, {}, {}, {}, {}, {}},
      {"first pivot at (1, 1)", 2, {1, 2, 3, 4}, {1, 0, 0.5, 1}, {4, 3, 0, -0.5}, {1, 0}, {1, 0}},
      // Tied maxima keep (0, 0); the remaining 0 stops the loop.
      {"all ones", 2, {1, 1, 1, 1}, {1, 0, 1, 1}, {1, 1, 0, 0}, {0, 1}, {0, 1}},
      {"zero", 3, std::vector<double>(9, 0.0), {1, 0, 0, 0, 1, 0, 0, 0, 1}, std::vector<double>(9, 0.0), {0, 1, 2},
       {0, 1, 2}},
      // An early stop keeps the neglected block's upper part in U; its lower
      // part is not a multiplier and stays out of L.
      {"neglected block", 3, {1, 0, 0, 0, 1e-13, 2e-13, 0, 3e-13, 0}, {1, 0, 0, 0, 1, 0, 0, 0, 1},
       {1, 0, 0, 0, 1e-13, 2e-13, 0, 0, 0}, {0, 1, 2}, {0, 1, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto f = full_piv_lu(row_major(c.a, c.n, c.n));
    ASSERT_TRUE(f);
    EXPECT_EQ(f->l.layout(), (kavo::Layout<2>{{c.n, c.n}, {static_cast<std::int64_t>(c.n), 1}, 0}));
    EXPECT_EQ(f->u.layout(), f->l.layout());
    EXPECT_EQ(std::vector<double>(f->l.data(), f->l.data() + c.n * c.n), c.l);
    EXPECT_EQ(std::vector<double>(f->u.data(), f->u.data() + c.n * c.n), c.u);
    EXPECT_EQ(to_vector(f->row_perm), c.row_perm);
    EXPECT_EQ(to_vector(f->col_perm), c.col_perm);
  }
}

TEST(FullPivLu, ScalingTheInputScalesUAndLeavesLUnchanged) {
  // Rank 2 with a neglected block that is not zero: [[4, 2, 1], [2, 1, 0.5 + d],
  // [1, 0.5 - d, 0.25]] with d below the threshold. Powers of two keep every
  // operation exact up to the same roundings.
  const double d = 1e-13;
  const std::vector<double> a = {4, 2, 1, 2, 1, 0.5 + d, 1, 0.5 - d, 0.25};
  auto base = full_piv_lu(row_major(a, 3, 3));
  ASSERT_TRUE(base);
  EXPECT_EQ(full_piv_lu_decompose(row_major(a, 3, 3))->rank, 1u);
  EXPECT_NE(base->u.data()[5], 0.0);  // the neglected block reaches U
  for (int exponent : {-900, -500, 500, 1000}) {
    std::vector<double> scaled(a);
    for (double& v : scaled) v = std::ldexp(v, exponent);
    auto f = full_piv_lu(row_major(scaled, 3, 3));
    ASSERT_TRUE(f);
    EXPECT_EQ(std::vector<double>(f->l.data(), f->l.data() + 9), std::vector<double>(base->l.data(), base->l.data() + 9));
    for (int i = 0; i < 9; ++i) EXPECT_EQ(f->u.data()[i], std::ldexp(base->u.data()[i], exponent)) << exponent;
  }
}

TEST(FullPivLu, RankOneStopsAfterOneStepAndReproducesThePermutedInput) {
  const std::vector<double> x = {1.5, -2.0, 0.25}, y = {3.0, 1.0, -7.0};
  std::vector<double> a(9);
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) a[i * 3 + j] = x[i] * y[j];
  }
  EXPECT_EQ(full_piv_lu_decompose(row_major(a, 3, 3))->rank, 1u);
  auto f = full_piv_lu(row_major(a, 3, 3));
  ASSERT_TRUE(f);
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      double product = 0.0;
      for (int p = 0; p < 3; ++p) product += f->l.data()[i * 3 + p] * f->u.data()[p * 3 + j];
      EXPECT_NEAR(product, a[f->row_perm[i] * 3 + f->col_perm[j]], 1e-14);
    }
  }
}

TEST(FullPivLu, ReadsAnyLayoutInLogicalOrder) {
  // [[1, 2], [3, 4]] stored column-major.
  std::vector<double> column_major = {1, 3, 2, 4};
  kavo::View<double, 2> view{column_major.data(), 4, {{2, 2}, {1, 2}, 0}};
  auto f = full_piv_lu(view);
  ASSERT_TRUE(f);
  EXPECT_EQ(std::vector<double>(f->u.data(), f->u.data() + 4), (std::vector<double>{4, 3, 0, -0.5}));
}

TEST(FullPivLu, Failures) {
  struct Case {
    std::vector<double> a;
    std::uint64_t rows;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{1, 2, 3, 4, 5, 6}, 2, "Shape mismatch: lhs [2, 3], rhs [2, 2]"},
      {{1, nan, 0, 1}, 2, "Storage error: FullPivLU input contains a non-finite value"},
      {{1, 0, -inf, 1}, 2, "Storage error: FullPivLU input contains a non-finite value"},
  };
  for (const Case& c : cases) {
    auto f = full_piv_lu(row_major(c.a, c.rows, c.a.size() / c.rows));
    ASSERT_FALSE(f);
    EXPECT_EQ(f.error().display(), c.message);
  }
  std::vector<double> none;
  kavo::View<double, 2> wide{none.data(), 0, {{0, 3}, {3, 1}, 0}};
  EXPECT_EQ(full_piv_lu(wide).error().display(), "Shape mismatch: lhs [0, 3], rhs [0, 0]");
}

}  // namespace
}  // namespace kavo_ops
