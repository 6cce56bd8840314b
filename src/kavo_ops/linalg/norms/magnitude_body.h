#pragma once
// The magnitude kernels every tier compiles with its own target flags, over
// the tier's float64 lanes L (fyrel/lanes): eight lanes per vector on tier
// A, four on tier B, one on tier C.
//   acc0..acc7: eight running accumulators over blocks of 8*L elements
//     (element 8Lk + Lj + l goes to lane l of acc j), enough independent
//     chains to cover the add latency.
//   The remaining whole L-blocks go to acc0, acc1, ... in order, and the
//     last len mod L elements (a masked vector, missing lanes 0) to the next
//     one.
//   Sum: S = ((acc0 + acc1) + (acc2 + acc3)) + ((acc4 + acc5) + (acc6 + acc7))
//     lane-wise, then the upper half of the lanes is added to the lower half
//     until one lane is left.
//   Max: the magnitudes' bit patterns (sign cleared) compared as 64-bit
//     integers, all non-negative: integer order is numeric order and every
//     NaN lies above +inf, so the result is exact, independent of the order
//     of work, and NaN as soon as one entry is NaN.
// Include only from a tier source: everything here has internal linkage.

#include <bit>
#include <cstddef>
#include <cstdint>

#include "fyrel/lanes/lane_vector.h"
#include "kavo_ops/linalg/norms/magnitude_kernel_table.h"

namespace kavo_ops {
namespace {

constexpr std::size_t kMagnitudeAccumulators = 8;
constexpr std::int64_t kMagnitudeBits = 0x7FFF'FFFF'FFFF'FFFF;

// The lanes' bit patterns with the sign cleared, as integers.
template <class L>
auto magnitude_bits(typename L::Reg v) noexcept {
  using Bits = typename fyrel::LaneVector<std::int64_t, L::lanes>::Reg;
  return std::bit_cast<Bits>(v) & kMagnitudeBits;
}

template <class Bits>
Bits larger(Bits a, Bits b) noexcept {
  return b > a ? b : a;
}

// The next L elements, or the last len - i < L of them with the missing lanes 0.
template <class L>
typename L::Reg lanes_at(const double* x, std::size_t i, std::size_t len) noexcept {
  if constexpr (L::masked_tails) {
    if (len - i < L::lanes) return L::masked_load(x + i, L::first_lanes(len - i));
  }
  return L::load(x + i);
}

// Tiers without masked tails run this body one lane wide.
template <class L>
double magnitude_sum(const double* x, std::size_t len) noexcept {
  static_assert(L::masked_tails || L::lanes == 1);
  using Reg = typename L::Reg;
  constexpr std::size_t lanes = L::lanes;
  const auto magnitude = [](Reg v) { return std::bit_cast<Reg>(magnitude_bits<L>(v)); };
  Reg acc[kMagnitudeAccumulators];
  for (std::size_t j = 0; j < kMagnitudeAccumulators; ++j) acc[j] = L::zero();
  std::size_t i = 0;
  for (; i + kMagnitudeAccumulators * lanes <= len; i += kMagnitudeAccumulators * lanes) {
#pragma GCC unroll 8
    for (std::size_t j = 0; j < kMagnitudeAccumulators; ++j) acc[j] = acc[j] + magnitude(L::load(x + i + j * lanes));
  }
  for (std::size_t j = 0; i < len; i += lanes, ++j) acc[j] = acc[j] + magnitude(lanes_at<L>(x, i, len));
  const Reg s = ((acc[0] + acc[1]) + (acc[2] + acc[3])) + ((acc[4] + acc[5]) + (acc[6] + acc[7]));
  return L::halving_sum(s);
}

template <class L>
double max_magnitude(const double* x, std::size_t len) noexcept {
  using IntLanes = fyrel::LaneVector<std::int64_t, L::lanes>;
  using Bits = typename IntLanes::Reg;
  constexpr std::size_t lanes = L::lanes;
  Bits acc[kMagnitudeAccumulators];
  for (std::size_t j = 0; j < kMagnitudeAccumulators; ++j) acc[j] = IntLanes::zero();
  std::size_t i = 0;
  for (; i + kMagnitudeAccumulators * lanes <= len; i += kMagnitudeAccumulators * lanes) {
#pragma GCC unroll 8
    for (std::size_t j = 0; j < kMagnitudeAccumulators; ++j) {
      acc[j] = larger(acc[j], magnitude_bits<L>(L::load(x + i + j * lanes)));
    }
  }
  for (std::size_t j = 0; i < len; i += lanes, ++j) acc[j] = larger(acc[j], magnitude_bits<L>(lanes_at<L>(x, i, len)));
  const Bits m = larger(larger(larger(acc[0], acc[1]), larger(acc[2], acc[3])),
                        larger(larger(acc[4], acc[5]), larger(acc[6], acc[7])));
  return std::bit_cast<double>(IntLanes::fold_halves(m, [](auto a, auto b) { return larger(a, b); }));
}

template <class L>
constexpr MagnitudeKernelTable magnitude_kernel_table() noexcept {
  return {.sum_f64 = magnitude_sum<L>, .max_f64 = max_magnitude<L>};
}

}  // namespace
}  // namespace kavo_ops
