#pragma once
// Scalar models of each tier's summation order for dot_slice and sum_slice,
// written lane by lane from the documented structure. A kernel that matches
// its model bit for bit on random data sums in exactly that order.

#include <cmath>
#include <cstddef>
#include <span>
#include <vector>

#include "platform/processor_tier.h"

namespace kavo_ops::test_support {
using platform::Tier;

// Adds the upper half of the lanes to the lower half until one lane is left.
template <class T>
T halving_sum(std::vector<T> lanes) {
  for (std::size_t width = lanes.size() / 2; width >= 1; width /= 2) {
    for (std::size_t l = 0; l < width; ++l) lanes[l] = lanes[l] + lanes[l + width];
  }
  return lanes[0];
}

// Tiers A and B: four accumulators of L lanes, S, halving sum, masked tail.
template <class T>
T vector_dot_model(std::span<const T> a, std::span<const T> b, std::size_t L) {
  const std::size_t n = a.size();
  std::vector<T> s(L, T{0});
  std::size_t i = 0;
  if (n >= 4 * L) {
    std::vector<std::vector<T>> acc(4, std::vector<T>(L));
    for (std::size_t k = 0; k < 4; ++k)
      for (std::size_t l = 0; l < L; ++l) acc[k][l] = a[k * L + l] * b[k * L + l];
    for (i = 4 * L; i + 4 * L <= n; i += 4 * L)
      for (std::size_t k = 0; k < 4; ++k)
        for (std::size_t l = 0; l < L; ++l) {
          const std::size_t e = i + k * L + l;
          acc[k][l] = std::fma(a[e], b[e], acc[k][l]);
        }
    for (std::size_t l = 0; l < L; ++l) s[l] = ((acc[0][l] + acc[1][l]) + acc[2][l]) + acc[3][l];
  } else if (n >= L) {
    for (std::size_t l = 0; l < L; ++l) s[l] = a[l] * b[l];
    i = L;
  }
  for (; i + L <= n; i += L)
    for (std::size_t l = 0; l < L; ++l) s[l] = std::fma(a[i + l], b[i + l], s[l]);
  T result = halving_sum(s);
  if (i < n) {
    std::vector<T> tail(L, T{0});
    for (std::size_t l = 0; i + l < n; ++l) tail[l] = a[i + l] * b[i + l];
    result = result + halving_sum(tail);
  }
  return result;
}

// Tier C: sixteen partial sums in four groups of four lanes.
template <class T>
T tier_c_dot_model(std::span<const T> a, std::span<const T> b) {
  const std::size_t n = a.size();
  T group[4][4] = {};
  T lane[4] = {};
  std::size_t i = 0;
  if (n >= 16) {
    for (std::size_t g = 0; g < 4; ++g)
      for (std::size_t l = 0; l < 4; ++l) group[g][l] = a[4 * g + l] * b[4 * g + l];
    for (i = 16; i + 16 <= n; i += 16)
      for (std::size_t g = 0; g < 4; ++g)
        for (std::size_t l = 0; l < 4; ++l) {
          const std::size_t e = i + 4 * g + l;
          group[g][l] = std::fma(a[e], b[e], group[g][l]);
        }
    for (std::size_t l = 0; l < 4; ++l) lane[l] = ((group[1][l] + group[0][l]) + group[2][l]) + group[3][l];
  } else if (n >= 4) {
    for (std::size_t l = 0; l < 4; ++l) lane[l] = a[l] * b[l];
    i = 4;
  }
  for (; i + 4 <= n; i += 4)
    for (std::size_t l = 0; l < 4; ++l) lane[l] = std::fma(a[i + l], b[i + l], lane[l]);
  T result = ((lane[1] + lane[0]) + lane[2]) + lane[3];
  if (i < n) {
    T tail = a[i] * b[i];
    for (std::size_t j = i + 1; j < n; ++j) {
      const T product = a[j] * b[j];
      tail = tail + product;
    }
    result = result + tail;
  }
  return result;
}

template <class T>
T dot_model(Tier tier, std::span<const T> a, std::span<const T> b) {
  constexpr std::size_t bytes = sizeof(T);
  switch (tier) {
    case Tier::A: return vector_dot_model(a, b, 64 / bytes);
    case Tier::B: return vector_dot_model(a, b, 32 / bytes);
    case Tier::C: return tier_c_dot_model(a, b);
  }
  return T{};
}

// Four accumulators of W lanes from zero over 4*W blocks, combined, then
// single W-blocks; how the combination and the final lanes go differs.
inline std::vector<float> accumulate_lanes(std::span<const float> x, std::size_t W, bool tier_c_combination,
                                           std::size_t& consumed) {
  std::vector<std::vector<float>> acc(4, std::vector<float>(W, 0.0f));
  std::size_t i = 0;
  for (; i + 4 * W <= x.size(); i += 4 * W)
    for (std::size_t k = 0; k < 4; ++k)
      for (std::size_t l = 0; l < W; ++l) acc[k][l] = acc[k][l] + x[i + k * W + l];
  std::vector<float> s(W);
  for (std::size_t l = 0; l < W; ++l) {
    s[l] = tier_c_combination ? (acc[1][l] + acc[0][l]) + (acc[2][l] + acc[3][l])
                              : (acc[3][l] + acc[2][l]) + (acc[1][l] + acc[0][l]);
  }
  for (; i + W <= x.size(); i += W)
    for (std::size_t l = 0; l < W; ++l) s[l] = s[l] + x[i + l];
  consumed = i;
  return s;
}

inline float sum_model(Tier tier, std::span<const float> x) {
  std::size_t i = 0;
  if (tier == Tier::C) {
    const auto s = accumulate_lanes(x, 4, true, i);
    float result = ((s[0] + s[1]) + s[2]) + s[3];
    if (i < x.size()) {
      float tail = x[i];
      for (std::size_t j = i + 1; j < x.size(); ++j) tail = tail + x[j];
      result = tail + result;
    }
    return result;
  }
  const std::size_t W = tier == Tier::A ? 16 : 8;
  float result = halving_sum(accumulate_lanes(x, W, false, i));
  if (i < x.size()) {
    std::vector<float> tail(W, 0.0f);
    for (std::size_t l = 0; i + l < x.size(); ++l) tail[l] = x[i + l];
    result = result + halving_sum(tail);
  }
  return result;
}

}  // namespace kavo_ops::test_support
