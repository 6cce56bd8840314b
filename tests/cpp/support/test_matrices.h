#pragma once
// Small builders the factorization tests share: an owned row-major matrix
// from its values, and normally distributed values from a seed.

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "kavo/constructors/constructors.h"

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

}  // namespace test_matrices
