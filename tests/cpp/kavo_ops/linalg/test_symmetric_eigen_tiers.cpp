// The Jacobi iteration's rearrangements for speed (row-best pivot tracking,
// rotations of contiguous rows mirrored into columns, the transposed
// eigenvector matrix, the tiered rotation kernel) against the plain loop:
// full scan before every rotation, element-by-element updates of both
// symmetric positions, V row-major. Bit for bit, on every tier.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "../../support/tier_fixture.h"
#include "kavo_ops/linalg/symmetric_eigen/jacobi_input_screen.h"
#include "kavo_ops/linalg/symmetric_eigen/jacobi_iterate.h"
#include "kavo_ops/linalg/symmetric_eigen/rotate_pair.h"
#include "kavo_ops/linalg/symmetric_eigen/row_best.h"

namespace kavo_ops {
namespace {

constexpr double kEps = 0x1p-52;

struct PlainRun {
  std::vector<double> a;
  std::vector<double> v;  // row-major: column k is an eigenvector
  std::uint64_t steps = 0;
};

PlainRun plain_jacobi(std::vector<double> a, std::uint64_t n, double floor, std::uint64_t limit) {
  std::vector<double> v(n * n, 0.0);
  for (std::uint64_t k = 0; k < n; ++k) v[k * n + k] = 1.0;
  std::vector<double> roots(n);
  std::uint64_t steps = 0;
  while (steps < limit) {
    for (std::uint64_t i = 0; i < n; ++i) roots[i] = std::sqrt(std::fabs(a[i * n + i]));
    bool found = false;
    std::uint64_t p = 0, q = 0;
    double best = 0.0;
    for (std::uint64_t i = 0; i < n; ++i) {
      for (std::uint64_t j = i + 1; j < n; ++j) {
        const double x = std::fabs(a[i * n + j]);
        if (x > best && x > kEps * std::max(roots[i] * roots[j], floor)) {
          found = true, p = i, q = j, best = x;
        }
      }
    }
    if (!found) break;
    ++steps;
    const double a_pq = a[p * n + q], a_pp = a[p * n + p], a_qq = a[q * n + q];
    if (a_pq == 0.0) continue;
    const double theta = 0.5 * std::atan2(2.0 * a_pq, a_qq - a_pp);
    const double c = std::cos(theta), s = std::sin(theta);
    for (std::uint64_t m = 0; m < n; ++m) {
      if (m == p || m == q) continue;
      const double a_mp = a[m * n + p], a_mq = a[m * n + q];
      a[m * n + p] = a[p * n + m] = c * a_mp - s * a_mq;
      a[m * n + q] = a[q * n + m] = c * a_mq + s * a_mp;
    }
    a[p * n + p] = c * c * a_pp + s * s * a_qq - 2.0 * c * s * a_pq;
    a[q * n + q] = s * s * a_pp + c * c * a_qq + 2.0 * c * s * a_pq;
    a[p * n + q] = a[q * n + p] = 0.0;
    for (std::uint64_t k = 0; k < n; ++k) {
      const double v_kp = v[k * n + p], v_kq = v[k * n + q];
      v[k * n + p] = c * v_kp - s * v_kq;
      v[k * n + q] = c * v_kq + s * v_kp;
    }
  }
  return {std::move(a), std::move(v), steps};
}

std::vector<double> symmetric_from(std::uint64_t n, std::uint32_t seed, bool small_integers) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> normal;
  std::uniform_int_distribution<int> integer(-2, 2);
  std::vector<double> a(n * n);
  for (std::uint64_t i = 0; i < n; ++i) {
    for (std::uint64_t j = i; j < n; ++j) {
      // Small integers make many equal magnitudes: ties in every search.
      a[i * n + j] = a[j * n + i] = small_integers ? integer(rng) : normal(rng) * std::pow(10.0, double(i % 5));
    }
  }
  return a;
}

bool same_bits(const double* x, const double* y, std::size_t count) {
  return std::memcmp(x, y, count * sizeof(double)) == 0;
}

class JacobiTiers : public tier_testing::TierTest {};

TEST_P(JacobiTiers, TrackedSearchAndRowRotationsMatchThePlainLoopBitForBit) {
  for (std::uint64_t n : {1u, 2u, 3u, 5u, 9u, 17u, 40u}) {
    for (bool small_integers : {false, true}) {
      const std::vector<double> a = symmetric_from(n, 100 + n, small_integers);
      const double floor = kEps * frobenius_norm_by_largest(a.data(), n * n);
      const std::uint64_t limit = jacobi_rotation_limit(n);
      const PlainRun plain = plain_jacobi(a, n, floor, limit);
      for (JacobiSearch search : {JacobiSearch::tracked, JacobiSearch::full_scan}) {
        std::vector<double> work = a;
        std::vector<double> vt(n * n, 0.0);
        for (std::uint64_t k = 0; k < n; ++k) vt[k * n + k] = 1.0;
        const JacobiRun run = jacobi_iterate(work.data(), vt.data(), n, floor, limit, search);
        EXPECT_TRUE(run.converged);
        EXPECT_EQ(run.steps, plain.steps) << n;
        EXPECT_TRUE(same_bits(work.data(), plain.a.data(), n * n)) << n << (small_integers ? " integers" : "");
        std::vector<double> v(n * n);
        for (std::uint64_t i = 0; i < n; ++i) {
          for (std::uint64_t k = 0; k < n; ++k) v[k * n + i] = vt[i * n + k];
        }
        EXPECT_TRUE(same_bits(v.data(), plain.v.data(), n * n)) << n << (small_integers ? " integers" : "");
      }
    }
  }
}

TEST_P(JacobiTiers, RotatePairIsTheLaneWiseFormulaAtEveryLengthAndOffset) {
  std::mt19937 rng(5);
  std::normal_distribution<double> normal;
  const double c = std::cos(0.3), s = std::sin(0.3);
  for (std::size_t count : {0u, 1u, 3u, 4u, 7u, 8u, 9u, 16u, 33u}) {
    for (std::size_t offset : {0u, 1u}) {
      std::vector<double> x(count + offset), y(count + offset);
      for (std::size_t k = 0; k < x.size(); ++k) x[k] = normal(rng), y[k] = normal(rng) * 1e-7;
      std::vector<double> xr = x, yr = y;
      for (std::size_t k = offset; k < x.size(); ++k) {
        xr[k] = c * x[k] - s * y[k];
        yr[k] = c * y[k] + s * x[k];
      }
      rotate_pair(x.data() + offset, y.data() + offset, count, c, s);
      EXPECT_TRUE(same_bits(x.data(), xr.data(), x.size())) << count;
      EXPECT_TRUE(same_bits(y.data(), yr.data(), y.size())) << count;
    }
  }
}

// The tracker's three searches against their one-entry-at-a-time forms,
// around every lane, register pair and tail length, with many equal
// magnitudes and entries on both sides of the significance bound.
TEST_P(JacobiTiers, RowSearchesMatchTheEntryByEntryScans) {
  std::mt19937_64 rng(41);
  const double floor = 1e-3;
  for (std::size_t count = 0; count <= 70; ++count) {
    for (int trial = 0; trial < 40; ++trial) {
      std::vector<double> row(count), roots(count), best(count);
      std::vector<std::uint64_t> column(count);
      const double s_i = trial % 2 == 0 ? 1.0 : 1e10;
      for (std::size_t j = 0; j < count; ++j) {
        // Magnitudes from a few values (ties), scaled around the bound
        // eps * max(s_i * roots[j], floor).
        row[j] = static_cast<double>(static_cast<int>(rng() % 7) - 3) * 0x1p-52 * (trial % 3 == 0 ? 1e-3 : 1e7);
        roots[j] = static_cast<double>(rng() % 4);
        best[j] = static_cast<double>(rng() % 4) * 0x1p-52 * 1e7;
        column[j] = rng() % (count + 2);
      }
      RowBest expected{0.0, count};
      for (std::size_t j = 0; j < count; ++j) {
        const double x = std::fabs(row[j]);
        if (x > expected.magnitude && jacobi_significant(x, s_i, roots[j], floor)) expected = {x, j};
      }
      const RowBest got = row_best(row.data(), roots.data(), s_i, floor, count);
      ASSERT_EQ(got.magnitude, expected.magnitude) << count << " " << trial;
      ASSERT_EQ(got.index, expected.index) << count << " " << trial;

      std::vector<double> values(count);
      for (std::size_t j = 0; j < count; ++j) values[j] = std::fabs(row[j]);
      std::size_t first = count;
      for (std::size_t j = 0; j < count; ++j) {
        if (first == count || values[j] > values[first]) first = j;
      }
      ASSERT_EQ(first_largest(values.data(), count), first) << count;

      // Rows i < q of the plane (p, q) = (count / 3, count), row_p and row_q
      // given as the two arrays.
      const std::uint64_t q = count, p = count / 3;
      const double cut = 0x1p-52 * 1e7;
      std::vector<double> row_q(count);
      for (std::size_t i = 0; i < count; ++i) row_q[i] = values[(i + 1) % count] * (i % 2 ? 1 : -1);
      std::vector<std::uint64_t> listed_expected;
      for (std::uint64_t i = 0; i < q; ++i) {
        const double xp = std::fabs(row[i]), xq = std::fabs(row_q[i]);
        if ((xp >= best[i] && xp > cut) || (xq >= best[i] && xq > cut) || column[i] == p || column[i] == q) {
          listed_expected.push_back(i);
        }
      }
      std::vector<std::uint64_t> listed(count + 1);
      listed.resize(rows_to_revisit(row.data(), row_q.data(), best.data(), column.data(), p, q, cut, listed.data()));
      ASSERT_EQ(listed, listed_expected) << count;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllTiers, JacobiTiers, ::testing::ValuesIn(tier_testing::all_tiers), tier_testing::TierName());

}  // namespace
}  // namespace kavo_ops
