// Magnitude kernels, tier C (x86-64 baseline, plain C++). Eight running
// accumulators acc[0..7] in four two-lane groups: element 8k + j goes to
// acc[j], and the last len mod 8 elements to acc[0], acc[1], ... in order.
//   Sum: result = ((acc0 + acc1) + (acc2 + acc3)) + ((acc4 + acc5) + (acc6 + acc7)).
//   Max: compares the magnitudes' bit patterns (sign cleared) as unsigned
//     integers. For non-negative doubles that order is the numeric order and
//     every NaN lies above +inf, so the maximum is exact, independent of the
//     order of work, and NaN as soon as one entry is NaN.

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "kavo_ops/linalg/norms/magnitude_tier_kernels.h"

namespace kavo_ops::tier_c {
namespace {

constexpr std::uint64_t magnitude_mask = 0x7FFF'FFFF'FFFF'FFFFull;
constexpr std::size_t accumulators = 8;

}  // namespace

double magnitude_sum_f64(const double* x, std::size_t len) noexcept {
  double acc[accumulators] = {};
  std::size_t i = 0;
  for (; i + accumulators <= len; i += accumulators) {
    for (std::size_t j = 0; j < accumulators; ++j) acc[j] += std::fabs(x[i + j]);
  }
  for (std::size_t j = 0; i + j < len; ++j) acc[j] += std::fabs(x[i + j]);
  return ((acc[0] + acc[1]) + (acc[2] + acc[3])) + ((acc[4] + acc[5]) + (acc[6] + acc[7]));
}

double max_magnitude_f64(const double* x, std::size_t len) noexcept {
  std::uint64_t acc[accumulators] = {};
  std::size_t i = 0;
  for (; i + accumulators <= len; i += accumulators) {
    for (std::size_t j = 0; j < accumulators; ++j) {
      const std::uint64_t bits = std::bit_cast<std::uint64_t>(x[i + j]) & magnitude_mask;
      acc[j] = bits > acc[j] ? bits : acc[j];
    }
  }
  for (std::size_t j = 0; i + j < len; ++j) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(x[i + j]) & magnitude_mask;
    acc[j] = bits > acc[j] ? bits : acc[j];
  }
  std::uint64_t result = acc[0];
  for (std::size_t j = 1; j < accumulators; ++j) result = acc[j] > result ? acc[j] : result;
  return std::bit_cast<double>(result);
}

}  // namespace kavo_ops::tier_c
