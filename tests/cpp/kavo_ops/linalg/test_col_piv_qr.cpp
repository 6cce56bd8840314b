// Column-pivoted QR against the plain step loop (whole-range left sweep by
// axpy, Q accumulated from the right after every step): the sweeps split
// into fixed column parts and the deferred, row-blocked forming of Q must
// not change a bit.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "../../support/test_matrices.h"
#include "../../support/tier_fixture.h"
#include "kavo/constructors/constructors.h"
#include "kavo_ops/linalg/col_piv_qr/col_piv_qr.h"
#include "kavo_ops/linalg/col_piv_qr/column_norms.h"
#include "kavo_ops/linalg/householder/householder_reflector.h"
#include "kavo_ops/slice_kernels/axpy_slice.h"

namespace {

using test_matrices::matrix;

struct PlainResult {
  std::vector<double> q, r;
  std::vector<std::uint64_t> perm;
  std::uint64_t rank;
};

PlainResult plain_col_piv_qr(std::vector<double> a, std::size_t m, std::size_t n) {
  std::vector<double> q(m * m, 0.0);
  for (std::size_t i = 0; i < m; ++i) q[i * m + i] = 1.0;
  std::vector<std::uint64_t> perm(n);
  for (std::size_t j = 0; j < n; ++j) perm[j] = j;
  kavo_ops::ColumnNorms norms = kavo_ops::initial_column_norms(a.data(), m, n);
  double largest = 0.0;
  for (double value : norms.estimate) largest = std::max(largest, value);
  const double tolerance = 1e-12 * std::sqrt(largest);
  const std::size_t p = std::min(m, n);
  std::uint64_t rank = p;
  for (std::size_t k = 0; k < p; ++k) {
    std::size_t pivot = k;
    for (std::size_t j = k + 1; j < n; ++j)
      if (norms.estimate[j] > norms.estimate[pivot]) pivot = j;
    double true_norm = 0.0;
    for (std::size_t i = k; i < m; ++i) true_norm += a[i * n + pivot] * a[i * n + pivot];
    if (tolerance >= std::sqrt(true_norm)) {
      rank = k;
      break;
    }
    if (pivot != k) {
      for (std::size_t i = 0; i < m; ++i) std::swap(a[i * n + k], a[i * n + pivot]);
      std::swap(perm[k], perm[pivot]);
      std::swap(norms.estimate[k], norms.estimate[pivot]);
      std::swap(norms.reference[k], norms.reference[pivot]);
    }
    std::vector<double> x(m - k);
    for (std::size_t i = k; i < m; ++i) x[i - k] = a[i * n + k];
    if (auto h = kavo_ops::generate_reflector(x)) {
      std::span<double> all(a);
      std::vector<double> w(n - k, 0.0);
      for (std::size_t i = 0; i < h->v.size(); ++i) kavo_ops::axpy_slice(h->v[i], all.subspan((k + i) * n + k, n - k), w);
      for (double& value : w) value *= h->tau;
      for (std::size_t i = 0; i < h->v.size(); ++i)
        kavo_ops::axpy_slice(-h->v[i], std::span<const double>(w), all.subspan((k + i) * n + k, n - k));
      kavo_ops::apply_reflector_right(*h, q, m, 0, m, k);
    }
    kavo_ops::downdate_column_norms(norms, a.data(), m, n, k);
  }
  for (std::size_t i = 1; i < m; ++i)
    for (std::size_t j = 0; j < std::min(i, n); ++j) a[i * n + j] = 0.0;
  return {std::move(q), std::move(a), std::move(perm), rank};
}

class ColPivQrTiers : public tier_testing::TierTest {};

TEST_P(ColPivQrTiers, EqualsThePlainStepLoopBitForBit) {
  struct Shape {
    std::size_t m, n;
    bool graded;  // column norms over many decades: the downdates recompute
  };
  std::mt19937_64 rng(404);
  std::normal_distribution<double> normal;
  // At the default limit 600 x 500 takes the parallel sweeps and the others
  // stay on one thread.
  for (Shape shape : {Shape{600, 500, false}, Shape{40, 60, true}, Shape{50, 20, true}}) {
    std::vector<double> values(shape.m * shape.n);
    for (std::size_t i = 0; i < values.size(); ++i) {
      values[i] = normal(rng) * (shape.graded ? std::pow(10.0, -double(i % shape.n) / 2) : 1.0);
    }
    const PlainResult expected = plain_col_piv_qr(values, shape.m, shape.n);
    // Every step's sweep split over the executor (a limit of 4 elements),
    // and at the default limit.
    for (std::uint64_t parallel_sweep : {kavo_ops::col_piv_qr_parallel_sweep_elements(), std::uint64_t{4}}) {
      auto got = kavo_ops::col_piv_qr_decompose(matrix(shape.m, shape.n, values).view(), parallel_sweep);
      ASSERT_TRUE(got.has_value());
      EXPECT_EQ(got->rank, expected.rank);
      EXPECT_EQ(std::vector<std::uint64_t>(got->perm.data(), got->perm.data() + shape.n), expected.perm);
      EXPECT_EQ(std::vector<double>(got->r.data(), got->r.data() + shape.m * shape.n), expected.r)
          << shape.m << " " << parallel_sweep;
      EXPECT_EQ(std::vector<double>(got->q.data(), got->q.data() + shape.m * shape.m), expected.q)
          << shape.m << " " << parallel_sweep;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllTiers, ColPivQrTiers, ::testing::ValuesIn(tier_testing::all_tiers),
                         tier_testing::TierName());

}  // namespace
