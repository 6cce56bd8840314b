// The matrix exponential's arrangement for speed (intermediates in reused
// buffers, the Padé parts and N, D in one pass each, the denominator
// factored in place, products on the executor below the router's own size
// rule) against the plain sequence of separate operations: every scaled
// copy, sum and difference a new matrix, every product through the router,
// the inverse from lu_inverse. Bit for bit, on every tier, with the
// products forced onto the executor and kept off it.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "../../support/tier_fixture.h"
#include "kavo_ops/linalg/lu/lu.h"
#include "kavo_ops/linalg/matexp/matexp.h"
#include "kavo_ops/linalg/matexp/pade_coefficients.h"
#include "kavo_ops/matrix/matmul.h"

namespace kavo_ops {
namespace {

using Matrix = std::vector<double>;

kavo::View<double, 2> square_view(const Matrix& m, std::uint64_t n) {
  return {m.data(), m.size(), {{n, n}, {static_cast<std::int64_t>(n), 1}, 0}};
}

Matrix product(const Matrix& x, const Matrix& y, std::uint64_t n) {
  Matrix out(n * n, 0.0);
  const kavo::MutView<double, 2> view{out.data(), out.size(), {{n, n}, {static_cast<std::int64_t>(n), 1}, 0}, false};
  EXPECT_TRUE(matmul_into(square_view(x, n), square_view(y, n), view).has_value());
  return out;
}

Matrix scaled(const Matrix& x, double c) {
  Matrix out(x.size());
  for (std::size_t k = 0; k < x.size(); ++k) out[k] = x[k] * c;
  return out;
}

Matrix sum(const Matrix& x, const Matrix& y) {
  Matrix out(x.size());
  for (std::size_t k = 0; k < x.size(); ++k) out[k] = x[k] + y[k];
  return out;
}

Matrix difference(const Matrix& x, const Matrix& y) {
  Matrix out(x.size());
  for (std::size_t k = 0; k < x.size(); ++k) out[k] = x[k] - y[k];
  return out;
}

// The plain sequence, step by step as the exponential's contract states it.
Matrix plain_matexp(const Matrix& a, std::uint64_t n) {
  const int s = *matexp_scaling_exponent(square_view(a, n));
  const std::array<double, 7> c = pade6_coefficients();
  Matrix eye(n * n, 0.0);
  for (std::uint64_t k = 0; k < n; ++k) eye[k * n + k] = 1.0;
  const Matrix b = scaled(a, std::pow(2.0, -s));
  const Matrix b2 = product(b, b, n);
  const Matrix b4 = product(b2, b2, n);
  const Matrix b6 = product(b2, b4, n);
  const Matrix even = sum(sum(sum(scaled(eye, c[0]), scaled(b2, c[2])), scaled(b4, c[4])), scaled(b6, c[6]));
  const Matrix odd = product(b, sum(sum(scaled(eye, c[1]), scaled(b2, c[3])), scaled(b4, c[5])), n);
  const Matrix numerator = sum(even, odd);
  const Matrix denominator = difference(even, odd);
  auto inverse = lu_inverse(square_view(denominator, n));
  EXPECT_TRUE(inverse.has_value());
  Matrix r = product(Matrix(inverse->data(), inverse->data() + n * n), numerator, n);
  for (int k = 0; k < s; ++k) r = product(r, r, n);
  return r;
}

Matrix random_matrix(std::uint64_t n, double scale, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> normal;
  Matrix a(n * n);
  for (double& v : a) v = normal(rng) * scale;
  return a;
}

class MatexpTiers : public tier_testing::TierTest {};

TEST_P(MatexpTiers, EqualsThePlainSequenceOnAndOffTheExecutor) {
  const std::uint64_t never = std::numeric_limits<std::uint64_t>::max();
  for (std::uint64_t n : {1, 2, 3, 7, 33, 70, 100}) {
    // Norms below 1/2 (no squaring), around 1 and large (several squarings).
    for (double scale : {0.01 / static_cast<double>(n), 1.0 / static_cast<double>(n), 2.0}) {
      const Matrix a = random_matrix(n, scale, static_cast<std::uint32_t>(n * 31 + scale * 1000));
      const Matrix expected = plain_matexp(a, n);
      for (std::uint64_t parallel_order : {std::uint64_t{2}, never}) {
        auto e = matexp(square_view(a, n), parallel_order);
        ASSERT_TRUE(e.has_value());
        EXPECT_EQ(Matrix(e->data(), e->data() + n * n), expected)
            << "n = " << n << ", scale " << scale << ", parallel from " << parallel_order;
      }
    }
  }
}

TEST_P(MatexpTiers, ReadsAStridedInputAsItsRowMajorCopy) {
  const std::uint64_t n = 40;
  const Matrix a = random_matrix(n, 0.2, 11);
  Matrix column_major(n * n);
  for (std::uint64_t i = 0; i < n; ++i) {
    for (std::uint64_t j = 0; j < n; ++j) column_major[j * n + i] = a[i * n + j];
  }
  const kavo::View<double, 2> strided{column_major.data(), n * n, {{n, n}, {1, static_cast<std::int64_t>(n)}, 0}};
  auto e = matexp(strided, 2);
  ASSERT_TRUE(e.has_value());
  EXPECT_EQ(Matrix(e->data(), e->data() + n * n), plain_matexp(a, n));
}

INSTANTIATE_TEST_SUITE_P(AllTiers, MatexpTiers, ::testing::ValuesIn(tier_testing::all_tiers), tier_testing::TierName());

}  // namespace
}  // namespace kavo_ops
