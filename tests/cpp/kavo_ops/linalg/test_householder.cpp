// The shared Householder reflector: the documented examples, H x = beta e1
// across the whole float64 range, and the left/right applications against
// the explicit matrix H = I - tau v v^T.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "../../support/tier_fixture.h"
#include "kavo_ops/linalg/householder/householder_reflector.h"
#include "kavo_ops/slice_kernels/axpy_slice.h"
#include "kavo_ops/slice_kernels/dot_slice.h"

namespace {

using kavo_ops::HouseholderReflector;

struct ReflectorExample {
  std::vector<double> x;
  std::vector<double> v;
  double tau;
  double beta;
};

TEST(HouseholderReflector, DocumentedExamples) {
  const ReflectorExample examples[] = {
      {{3.0, 4.0}, {2.0, 1.0}, 0.4, -5.0},
      {{-3.0, 4.0}, {-2.0, 1.0}, 0.4, 5.0},
      {{0.0, 2.0}, {1.0, 1.0}, 1.0, -2.0},
      {{-0.0, 2.0}, {1.0, 1.0}, 1.0, -2.0},
  };
  for (const ReflectorExample& example : examples) {
    auto h = kavo_ops::generate_reflector(example.x);
    ASSERT_TRUE(h.has_value());
    EXPECT_EQ(h->v, example.v);
    EXPECT_EQ(h->tau, example.tau);
    EXPECT_EQ(h->beta, example.beta);
  }
}

TEST(HouseholderReflector, NoReflectorForTrivialVectors) {
  const std::vector<double> cases[] = {{}, {7.0}, {5.0, 0.0, 0.0}, {0.0, 0.0}, {-0.0, 0.0, -0.0}};
  for (const auto& x : cases) EXPECT_FALSE(kavo_ops::generate_reflector(x).has_value());
  // A NaN after the first entry counts as nonzero.
  EXPECT_TRUE(kavo_ops::generate_reflector(std::vector<double>{1.0, NAN}).has_value());
}

// H x computed through the left application on x as a one-column matrix.
std::vector<double> reflect(const HouseholderReflector& h, std::vector<double> x) {
  kavo_ops::apply_reflector_left(h, x, 1, 0, 0, 1);
  return x;
}

TEST(HouseholderReflector, MapsVectorOntoFirstAxisAcrossTheRange) {
  std::mt19937_64 rng(11);
  std::normal_distribution<double> normal;
  // Unscaled squares of these would overflow or underflow to zero.
  for (double scale : {1.0, 1e300, 1e-300, 1e-310, 0x1p-1070}) {
    for (std::size_t p : {2u, 3u, 17u, 100u}) {
      std::vector<double> x(p);
      long double norm2 = 0.0L;
      for (double& value : x) {
        value = normal(rng) * scale;
        norm2 += static_cast<long double>(value / scale) * (value / scale);
      }
      auto h = kavo_ops::generate_reflector(x);
      ASSERT_TRUE(h.has_value());
      const double norm = static_cast<double>(std::sqrt(norm2)) * scale;
      // Subnormal inputs carry few significant bits of their own.
      const double tolerance = scale < 1e-300 ? 1e-3 : 1e-14 * p;
      EXPECT_NEAR(std::fabs(h->beta), norm, tolerance * norm) << scale;
      EXPECT_EQ(std::signbit(h->beta), !std::signbit(x[0])) << "beta takes the sign opposite to x[0]";
      const std::vector<double> hx = reflect(*h, x);
      EXPECT_NEAR(hx[0], h->beta, tolerance * norm);
      for (std::size_t i = 1; i < p; ++i) EXPECT_LE(std::fabs(hx[i]), tolerance * norm) << i;
    }
  }
}

// Explicit I - tau v v^T (size k) embedded at rows/cols [offset, offset+k) of n.
std::vector<double> explicit_reflector(const HouseholderReflector& h, std::size_t n, std::size_t offset) {
  std::vector<double> matrix(n * n, 0.0);
  for (std::size_t i = 0; i < n; ++i) matrix[i * n + i] = 1.0;
  for (std::size_t i = 0; i < h.v.size(); ++i) {
    for (std::size_t j = 0; j < h.v.size(); ++j) matrix[(offset + i) * n + offset + j] -= h.tau * h.v[i] * h.v[j];
  }
  return matrix;
}

std::vector<double> multiply(const std::vector<double>& a, const std::vector<double>& b, std::size_t rows,
                             std::size_t inner, std::size_t cols) {
  std::vector<double> c(rows * cols, 0.0);
  for (std::size_t i = 0; i < rows; ++i)
    for (std::size_t p = 0; p < inner; ++p)
      for (std::size_t j = 0; j < cols; ++j) c[i * cols + j] += a[i * inner + p] * b[p * cols + j];
  return c;
}

TEST(HouseholderReflector, LeftAndRightApplicationsMatchTheExplicitMatrix) {
  std::mt19937_64 rng(5);
  std::normal_distribution<double> normal;
  const std::size_t n = 9, offset = 3, k = 6;  // reflector on rows/cols 3..8
  std::vector<double> x(k);
  for (double& value : x) value = normal(rng);
  auto h = kavo_ops::generate_reflector(x);
  ASSERT_TRUE(h.has_value());
  std::vector<double> a(n * n);
  for (double& value : a) value = normal(rng);
  const std::vector<double> reflector = explicit_reflector(*h, n, offset);

  // Left: rows 3..8, columns [2, 7) only; the rest stays bit for bit.
  std::vector<double> left = a;
  kavo_ops::apply_reflector_left(*h, left, n, offset, 2, 7);
  const std::vector<double> expected_left = multiply(reflector, a, n, n, n);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      if (j >= 2 && j < 7) {
        EXPECT_NEAR(left[i * n + j], expected_left[i * n + j], 1e-14 * 10) << i << "," << j;
      } else {
        EXPECT_EQ(left[i * n + j], a[i * n + j]);
      }
    }
  }
  // An empty column range changes nothing.
  std::vector<double> untouched = a;
  kavo_ops::apply_reflector_left(*h, untouched, n, offset, 4, 4);
  EXPECT_EQ(untouched, a);

  // Right: rows [1, 5), columns 3..8.
  std::vector<double> right = a;
  kavo_ops::apply_reflector_right(*h, right, n, 1, 5, offset);
  const std::vector<double> expected_right = multiply(a, reflector, n, n, n);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      if (i >= 1 && i < 5) {
        EXPECT_NEAR(right[i * n + j], expected_right[i * n + j], 1e-13) << i << "," << j;
      } else {
        EXPECT_EQ(right[i * n + j], a[i * n + j]);
      }
    }
  }
}

class HouseholderTiers : public tier_testing::TierTest {};

// The left application's register-chunked kernel against the axpy loop it
// stands for, at widths around its chunks (8, 32) and on a window of a wider
// matrix; every element bit for bit.
TEST_P(HouseholderTiers, LeftApplicationIsTheAxpyLoopBitForBit) {
  std::mt19937_64 rng(21);
  std::normal_distribution<double> normal;
  const std::size_t n = 90, m = 70;
  for (std::size_t width : {1u, 7u, 8u, 9u, 31u, 32u, 33u, 71u, 85u}) {
    for (std::size_t r0 : {0u, 13u}) {
      std::vector<double> x(m - r0);
      for (double& value : x) value = normal(rng);
      auto h = kavo_ops::generate_reflector(x);
      ASSERT_TRUE(h.has_value());
      std::vector<double> a(m * n);
      for (double& value : a) value = normal(rng);
      std::vector<double> expected = a;
      const std::size_t c0 = 3;
      std::vector<double> w(width, 0.0);
      std::span<double> all(expected);
      for (std::size_t i = 0; i < h->v.size(); ++i) kavo_ops::axpy_slice(h->v[i], all.subspan((r0 + i) * n + c0, width), w);
      for (double& value : w) value *= h->tau;
      for (std::size_t i = 0; i < h->v.size(); ++i) kavo_ops::axpy_slice(-h->v[i], std::span<const double>(w), all.subspan((r0 + i) * n + c0, width));
      kavo_ops::apply_reflector_left(*h, a, n, r0, c0, c0 + width);
      ASSERT_EQ(a, expected) << "width " << width << " from row " << r0;
    }
  }
}

// The right application's grouped dots against the row loop it stands for
// (per row: s = dot_slice(row, v), then the axpy), for row counts around the
// group of six and reflector lengths around the dot kernels' blocks.
TEST_P(HouseholderTiers, RightApplicationIsTheRowLoopBitForBit) {
  std::mt19937_64 rng(23);
  std::normal_distribution<double> normal;
  const std::size_t n = 80;
  for (std::size_t length : {2u, 7u, 8u, 33u, 70u}) {
    for (std::size_t rows : {1u, 5u, 6u, 7u, 13u}) {
      std::vector<double> x(length);
      for (double& value : x) value = normal(rng);
      auto h = kavo_ops::generate_reflector(x);
      ASSERT_TRUE(h.has_value());
      std::vector<double> a((rows + 2) * n);
      for (double& value : a) value = normal(rng);
      std::vector<double> expected = a;
      const std::size_t c0 = n - length;
      std::span<double> all(expected);
      for (std::size_t r = 1; r < rows + 1; ++r) {
        std::span<double> segment = all.subspan(r * n + c0, length);
        const double s = kavo_ops::dot_slice(std::span<const double>(segment), std::span<const double>(h->v));
        kavo_ops::axpy_slice(-(s * h->tau), h->v, segment);
      }
      kavo_ops::apply_reflector_right(*h, a, n, 1, rows + 1, c0);
      ASSERT_EQ(a, expected) << "length " << length << ", rows " << rows;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllTiers, HouseholderTiers, ::testing::ValuesIn(tier_testing::all_tiers),
                         tier_testing::TierName());

}  // namespace
