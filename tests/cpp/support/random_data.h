#pragma once
// Random test vectors whose magnitudes span several binades, so that summing
// them in a different order changes the low bits.

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace test_data {

template <class T>
std::vector<T> spread_values(std::size_t n, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<T> mantissa(-1, 1);
  std::uniform_int_distribution<int> exponent(-12, 12);
  std::vector<T> values(n);
  for (auto& v : values) v = std::ldexp(mantissa(rng), exponent(rng));
  return values;
}

}  // namespace test_data
