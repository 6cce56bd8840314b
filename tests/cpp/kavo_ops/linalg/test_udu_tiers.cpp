// UDU's arrangement for speed (several columns per pass over the rows above
// them, grouped dots, rows split over the executor) against the plain
// column loop, a lone dot per entry: bit for bit, on every tier, with the
// rows forced onto the executor and kept off it.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "../../support/tier_fixture.h"
#include "kavo_ops/linalg/udu/udu.h"
#include "kavo_ops/slice_kernels/dot_slice.h"

namespace kavo_ops {
namespace {

struct Plain {
  std::vector<double> u, d;
  bool failed = false;
};

Plain plain_udu(const std::vector<double>& a, std::uint64_t n, double tolerance) {
  Plain p{std::vector<double>(n * n, 0.0), std::vector<double>(n, 0.0)};
  std::vector<double> w(n);
  for (std::uint64_t c = n; c-- > 0;) {
    const std::uint64_t done = n - 1 - c;
    for (std::uint64_t k = 0; k < done; ++k) w[k] = p.u[c * n + c + 1 + k] * p.d[c + 1 + k];
    const std::span<const double> weights(w.data(), done);
    const double pivot = a[c * n + c] - dot_slice(std::span<const double>(&p.u[c * n + c + 1], done), weights);
    if (!(std::abs(pivot) > tolerance) || !std::isfinite(pivot)) {
      p.failed = true;
      return p;
    }
    p.d[c] = pivot;
    p.u[c * n + c] = 1.0;
    for (std::uint64_t i = c; i-- > 0;) {
      p.u[i * n + c] = (a[i * n + c] - dot_slice(std::span<const double>(&p.u[i * n + c + 1], done), weights)) / pivot;
    }
  }
  return p;
}

class UduTiers : public tier_testing::TierTest {};

TEST_P(UduTiers, EqualsThePlainColumnLoop) {
  std::mt19937_64 rng(29);
  std::normal_distribution<double> normal;
  // Orders around the pass width and the dot's blocks; symmetric positive
  // definite, indefinite (large factors), and one that fails part way.
  for (std::uint64_t n : {1, 2, 3, 4, 5, 7, 8, 9, 13, 33, 64, 100, 131}) {
    for (int kind = 0; kind < 3; ++kind) {
      std::vector<double> m(n * n), a(n * n, 0.0);
      for (double& x : m) x = normal(rng);
      for (std::uint64_t i = 0; i < n; ++i) {
        for (std::uint64_t j = 0; j <= i; ++j) {
          double x = kind == 0 ? 0.0 : m[i * n + j];
          if (kind == 0) {
            for (std::uint64_t k = 0; k < n; ++k) x += m[i * n + k] * m[j * n + k];
          }
          a[i * n + j] = a[j * n + i] = x;
        }
        if (kind == 0) a[i * n + i] += 1.0;
      }
      if (kind == 2 && n > 6) {  // a zero pivot a few columns in from the end
        const std::uint64_t c = n - 5;
        for (std::uint64_t j = 0; j < n; ++j) a[c * n + j] = a[j * n + c] = 0.0;
      }
      double largest = 0.0;
      for (double x : a) largest = std::max(largest, std::fabs(x));
      const Plain expected = plain_udu(a, n, 1e-12 * largest);
      for (std::uint64_t parallel_entries : {udu_parallel_entries(), std::uint64_t{0}}) {
        SCOPED_TRACE("n = " + std::to_string(n) + ", kind " + std::to_string(kind) + ", parallel from " +
                     std::to_string(parallel_entries));
        const kavo::View<double, 2> view{a.data(), a.size(), {{n, n}, {static_cast<std::int64_t>(n), 1}, 0}};
        auto f = udu_factor(view, parallel_entries);
        ASSERT_EQ(f.has_value(), !expected.failed);
        if (!f) continue;
        EXPECT_EQ(std::vector<double>(f->u.data(), f->u.data() + n * n), expected.u);
        EXPECT_EQ(std::vector<double>(f->d.data(), f->d.data() + n), expected.d);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllTiers, UduTiers, ::testing::ValuesIn(tier_testing::all_tiers), tier_testing::TierName());

}  // namespace
}  // namespace kavo_ops
