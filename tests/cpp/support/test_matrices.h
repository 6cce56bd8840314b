#pragma once
// Small builders and checks the factorization tests share: owned and
// borrowed row-major matrices, seeded random values, and the residual
// ratios of a similarity Q X Q^T.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "kavo/constructors/constructors.h"
#include "kavo/view/view.h"

namespace test_matrices {

inline kavo::OwnedArray<double, 2> matrix(std::size_t rows, std::size_t cols, const std::vector<double>& values) {
  kavo::Buffer<double> buffer(values.size());
  std::copy(values.begin(), values.end(), buffer.data());
  return kavo::expect_valid(kavo::from_vector<double, 2>({rows, cols}, std::move(buffer)), "test matrix");
}

inline std::vector<double> random_values(std::size_t count, std::uint64_t seed, double scale = 1.0) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> normal;
  std::vector<double> values(count);
  for (double& value : values) value = normal(rng) * scale;
  return values;
}

// A borrowed row-major view of `storage`.
inline kavo::View<double, 2> row_major(const std::vector<double>& storage, std::uint64_t rows, std::uint64_t cols) {
  return {storage.data(), storage.size(), {{rows, cols}, {static_cast<std::int64_t>(cols), 1}, 0}};
}

// An n x n matrix of values uniform in [-scale, scale).
inline std::vector<double> random_matrix(std::size_t n, std::uint64_t seed, double scale = 1.0) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<double> a(n * n);
  for (double& x : a) x = uniform(rng) * scale;
  return a;
}

// ‖A − Q·X·Qᵀ‖_F / (n·ε·‖A‖_F) (unscaled for a zero A) and ‖QᵀQ − I‖_F /
// (n·ε), in extended precision so inputs near the ends of the double range
// can be checked.
struct SimilarityRatios {
  long double reconstruction;
  long double orthogonality;
};

inline SimilarityRatios similarity_ratios(const std::vector<double>& a, const double* q, const double* x,
                                          std::size_t n) {
  std::vector<long double> qx(n * n, 0.0L);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t p = 0; p < n; ++p)
      for (std::size_t j = 0; j < n; ++j) qx[i * n + j] += static_cast<long double>(q[i * n + p]) * x[p * n + j];
  long double diff = 0.0L, norm = 0.0L, orth = 0.0L;
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      long double back = 0.0L, gram = 0.0L;
      for (std::size_t p = 0; p < n; ++p) {
        back += qx[i * n + p] * q[j * n + p];
        gram += static_cast<long double>(q[p * n + i]) * q[p * n + j];
      }
      const long double d = back - a[i * n + j];
      diff += d * d;
      norm += static_cast<long double>(a[i * n + j]) * a[i * n + j];
      const long double g = gram - (i == j ? 1.0L : 0.0L);
      orth += g * g;
    }
  }
  const long double scale = static_cast<long double>(n) * 0x1p-52L;
  return {norm == 0.0L ? std::sqrt(diff) : std::sqrt(diff) / (scale * std::sqrt(norm)), std::sqrt(orth) / scale};
}

}  // namespace test_matrices
