// Bunch-Kaufman's arrangement for speed (the next column's search made in
// the update's pass, rows split over the executor in parts of equal work)
// against the plain step loop, which scans the column before every step:
// bit for bit, on every tier, with the rows forced onto the executor and
// kept off it.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "../../support/tier_fixture.h"
#include "kavo_ops/linalg/bunch_kaufman/bunch_kaufman.h"
#include "kavo_ops/linalg/bunch_kaufman/bunch_kaufman_steps.h"
#include "kavo_ops/slice_kernels/axpy_slice.h"

namespace kavo_ops {
namespace {

struct Plain {
  std::vector<double> l, d;
  std::vector<std::uint64_t> perm;
};

struct Largest {
  double magnitude = 0.0;
  std::uint64_t index = 0;
};

Largest largest_of(const double* first, std::uint64_t count, std::uint64_t stride, std::uint64_t first_index) {
  Largest best{0.0, first_index};
  for (std::uint64_t i = 0; i < count; ++i) {
    if (std::abs(first[i * stride]) > best.magnitude) best = {std::abs(first[i * stride]), first_index + i};
  }
  return best;
}

// The step loop as the contract writes it, on the lower triangle.
Plain plain_bunch_kaufman(std::vector<double> w, std::uint64_t n) {
  Plain p{std::vector<double>(n * n, 0.0), std::vector<double>(n * n, 0.0), std::vector<std::uint64_t>(n)};
  for (std::uint64_t i = 0; i < n; ++i) p.l[i * n + i] = 1.0, p.perm[i] = i;
  auto W = [&](std::uint64_t i, std::uint64_t j) -> double& { return w[i * n + j]; };
  auto L = [&](std::uint64_t i, std::uint64_t j) -> double& { return p.l[i * n + j]; };
  auto D = [&](std::uint64_t i, std::uint64_t j) -> double& { return p.d[i * n + j]; };
  std::vector<double> column(n), next(n);
  std::uint64_t k = 0;
  while (k < n) {
    if (k + 1 == n) {
      D(k, k) = W(k, k);
      break;
    }
    const Largest col = largest_of(&W(k + 1, k), n - k - 1, n, k + 1);
    if (col.magnitude == 0.0) {
      D(k, k) = W(k, k);
      ++k;
      continue;
    }
    int size = 1;
    const double absakk = std::abs(W(k, k));
    if (absakk < kBunchKaufmanAlpha * col.magnitude) {
      const std::uint64_t r = col.index;
      const Largest left = largest_of(&W(r, k), r - k, 1, k);
      const Largest below = r + 1 < n ? largest_of(&W(r + 1, r), n - r - 1, n, r + 1) : Largest{};
      const double rowmax = std::fmax(left.magnitude, below.magnitude);
      if (!diagonal_pivot_holds(absakk, col.magnitude, rowmax)) {
        if (std::abs(W(r, r)) >= kBunchKaufmanAlpha * rowmax) {
          symmetric_interchange(w.data(), p.l.data(), p.perm.data(), n, k, k, r);
        } else {
          symmetric_interchange(w.data(), p.l.data(), p.perm.data(), n, k, k + 1, r);
          size = 2;
        }
      }
    }
    if (size == 1) {
      const double pivot = W(k, k);
      D(k, k) = pivot;
      for (std::uint64_t i = k + 1; i < n; ++i) column[i] = W(i, k), L(i, k) = column[i] / pivot;
      for (std::uint64_t i = k + 1; i < n; ++i) {
        axpy_slice(-L(i, k), std::span<const double>(&column[k + 1], i - k), std::span<double>(&W(i, k + 1), i - k));
      }
      ++k;
      continue;
    }
    const double d = W(k, k), e = W(k + 1, k), f = W(k + 1, k + 1);
    const TwoByTwoPivot pivot = *two_by_two_pivot(d, e, f);
    D(k, k) = d, D(k, k + 1) = D(k + 1, k) = e, D(k + 1, k + 1) = f;
    for (std::uint64_t i = k + 2; i < n; ++i) {
      column[i] = W(i, k), next[i] = W(i, k + 1);
      const TwoByTwoMultipliers m = two_by_two_multipliers(pivot, f, column[i], next[i]);
      L(i, k) = m.first, L(i, k + 1) = m.second;
    }
    for (std::uint64_t i = k + 2; i < n; ++i) {
      const std::span<double> row(&W(i, k + 2), i - k - 1);
      axpy_slice(-L(i, k), std::span<const double>(&column[k + 2], i - k - 1), row);
      axpy_slice(-L(i, k + 1), std::span<const double>(&next[k + 2], i - k - 1), row);
    }
    k += 2;
  }
  return p;
}

class BunchKaufmanTiers : public tier_testing::TierTest {};

TEST_P(BunchKaufmanTiers, EqualsThePlainStepLoop) {
  std::mt19937_64 rng(57);
  std::normal_distribution<double> normal;
  for (std::uint64_t n : {1, 2, 3, 5, 8, 17, 40, 100, 150}) {
    // Random indefinite (1 x 1 and 2 x 2 pivots, interchanges), small
    // integers (ties in every search), and zero columns (steps without an
    // update, whose next column is scanned).
    for (int kind = 0; kind < 3; ++kind) {
      std::vector<double> a(n * n);
      for (std::uint64_t i = 0; i < n; ++i) {
        for (std::uint64_t j = 0; j <= i; ++j) {
          double x = kind == 1 ? static_cast<double>(static_cast<int>(rng() % 5) - 2) : normal(rng);
          if (kind == 2 && (i % 3 == 1 || j % 3 == 1)) x = 0.0;
          a[i * n + j] = a[j * n + i] = x;
        }
      }
      const Plain expected = plain_bunch_kaufman(a, n);
      for (std::uint64_t parallel_entries : {bunch_kaufman_parallel_entries(), std::uint64_t{0}}) {
        SCOPED_TRACE("n = " + std::to_string(n) + ", kind " + std::to_string(kind) + ", parallel from " +
                     std::to_string(parallel_entries));
        const kavo::View<double, 2> view{a.data(), a.size(), {{n, n}, {static_cast<std::int64_t>(n), 1}, 0}};
        auto f = bunch_kaufman_factor(view, parallel_entries);
        ASSERT_TRUE(f.has_value());
        EXPECT_EQ(std::vector<double>(f->l.data(), f->l.data() + n * n), expected.l);
        EXPECT_EQ(std::vector<double>(f->d.data(), f->d.data() + n * n), expected.d);
        EXPECT_EQ(std::vector<std::uint64_t>(f->permutation.data(), f->permutation.data() + n), expected.perm);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllTiers, BunchKaufmanTiers, ::testing::ValuesIn(tier_testing::all_tiers),
                         tier_testing::TierName());

}  // namespace
}  // namespace kavo_ops
