#pragma once
// The dot kernels every tier compiles with its own target flags, over the
// tier's lanes L (fyrel/lanes), L lanes per vector (tier C: four):
//   acc0..acc3: four independent accumulators over blocks of 4*L elements;
//     the first block is plain products, later blocks are fused in, which
//     hides the FMA latency. Combined lane-wise ((acc0+acc1)+acc2)+acc3 = S
//     (tier C's ((acc1+acc0)+acc2)+acc3 is the same sum: every addition
//     commutes exactly).
//   S then takes the remaining whole L-blocks by FMA (below 4*L elements,
//     S starts as the plain product of the first L-block).
//   S is reduced to one value the tier's way: by halves on tiers A and B,
//     in lane order on tier C.
//   The last len mod L products, each rounded once, are added last: reduced
//     like S from one masked vector (missing lanes 0) on tiers A and B,
//     summed in index order on tier C.
// Include only from a tier source: everything here has internal linkage.

#include <cstddef>

namespace kavo_ops {
namespace {

// The products of a[i .. len) and b[i .. len) (fewer than L), summed.
template <class L>
typename L::Element tail_products(const typename L::Element* a, const typename L::Element* b, std::size_t i,
                                  std::size_t len) noexcept {
  if constexpr (L::masked_tails) {
    const auto mask = L::first_lanes(len - i);
    return L::sum_lanes(L::masked_load(a + i, mask) * L::masked_load(b + i, mask));
  } else {
    auto tail = a[i] * b[i];
    for (std::size_t j = i + 1; j < len; ++j) {
      const auto product = a[j] * b[j];
      tail = tail + product;
    }
    return tail;
  }
}

template <class L>
typename L::Element dot(const typename L::Element* a, const typename L::Element* b, std::size_t len) noexcept {
  constexpr std::size_t lanes = L::lanes;
  std::size_t i = 0;
  auto s = L::zero();
  if (len >= 4 * lanes) {
    auto acc0 = L::load(a) * L::load(b);
    auto acc1 = L::load(a + lanes) * L::load(b + lanes);
    auto acc2 = L::load(a + 2 * lanes) * L::load(b + 2 * lanes);
    auto acc3 = L::load(a + 3 * lanes) * L::load(b + 3 * lanes);
    for (i = 4 * lanes; i + 4 * lanes <= len; i += 4 * lanes) {
      acc0 = L::fma(L::load(a + i), L::load(b + i), acc0);
      acc1 = L::fma(L::load(a + i + lanes), L::load(b + i + lanes), acc1);
      acc2 = L::fma(L::load(a + i + 2 * lanes), L::load(b + i + 2 * lanes), acc2);
      acc3 = L::fma(L::load(a + i + 3 * lanes), L::load(b + i + 3 * lanes), acc3);
    }
    s = ((acc0 + acc1) + acc2) + acc3;
  } else if (len >= lanes) {
    s = L::load(a) * L::load(b);
    i = lanes;
  }
  for (; i + lanes <= len; i += lanes) s = L::fma(L::load(a + i), L::load(b + i), s);
  auto result = L::sum_lanes(s);
  if (i < len) result = result + tail_products<L>(a, b, i, len);
  return result;
}

// dot's exact steps for G dots sharing the operand `a`: each dot keeps its
// own accumulators, so every result has the lone dot's bits, while each
// vector of `a` is loaded once for all G.
template <class L, std::size_t G>
void dot_group(const double* a, const double* const* b, std::size_t len, double* out) noexcept {
  constexpr std::size_t lanes = L::lanes;
  using Reg = typename L::Reg;
  std::size_t i = 0;
  Reg s[G];
  for (std::size_t g = 0; g < G; ++g) s[g] = L::zero();
  if (len >= 4 * lanes) {
    Reg acc[G][4];
    for (std::size_t q = 0; q < 4; ++q) {
      const Reg av = L::load(a + q * lanes);
      for (std::size_t g = 0; g < G; ++g) acc[g][q] = av * L::load(b[g] + q * lanes);
    }
    for (i = 4 * lanes; i + 4 * lanes <= len; i += 4 * lanes) {
      for (std::size_t q = 0; q < 4; ++q) {
        const Reg av = L::load(a + i + q * lanes);
        for (std::size_t g = 0; g < G; ++g) acc[g][q] = L::fma(av, L::load(b[g] + i + q * lanes), acc[g][q]);
      }
    }
    for (std::size_t g = 0; g < G; ++g) s[g] = ((acc[g][0] + acc[g][1]) + acc[g][2]) + acc[g][3];
  } else if (len >= lanes) {
    const Reg av = L::load(a);
    for (std::size_t g = 0; g < G; ++g) s[g] = av * L::load(b[g]);
    i = lanes;
  }
  for (; i + lanes <= len; i += lanes) {
    const Reg av = L::load(a + i);
    for (std::size_t g = 0; g < G; ++g) s[g] = L::fma(av, L::load(b[g] + i), s[g]);
  }
  if (i == len) {
    for (std::size_t g = 0; g < G; ++g) out[g] = L::sum_lanes(s[g]);
  } else if constexpr (L::masked_tails) {
    const auto mask = L::first_lanes(len - i);
    const Reg av = L::masked_load(a + i, mask);
    for (std::size_t g = 0; g < G; ++g) {
      out[g] = L::sum_lanes(s[g]) + L::sum_lanes(av * L::masked_load(b[g] + i, mask));
    }
  } else {
    for (std::size_t g = 0; g < G; ++g) out[g] = L::sum_lanes(s[g]) + tail_products<L>(a, b[g], i, len);
  }
}

// The last count < G dots of a group call, in one group of their own.
template <class L, std::size_t G>
void dot_group_rest(const double* a, const double* const* b, std::size_t count, std::size_t len, double* out) noexcept {
  if constexpr (G > 1) {
    if (count == G - 1) return dot_group<L, G - 1>(a, b, len, out);
    dot_group_rest<L, G - 1>(a, b, count, len, out);
  }
}

// out[g] = dot(shared, others[g]) for g < count, G dots at a time: as many as
// the tier's registers hold beside the shared vectors.
template <class L, std::size_t G>
void dot_groups(const double* shared, const double* const* others, std::size_t count, std::size_t len,
                double* out) noexcept {
  std::size_t g = 0;
  for (; g + G <= count; g += G) dot_group<L, G>(shared, others + g, len, out + g);
  dot_group_rest<L, G>(shared, others + g, count - g, len, out + g);
}

}  // namespace
}  // namespace kavo_ops
