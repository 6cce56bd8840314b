#pragma once
// shared_operand_dots.h's kernel, compiled by every tier over the float64
// lanes its dot slice kernel uses (fyrel/lanes). The steps are dot_body.h's,
// per dot and in its order (four accumulators over blocks of 4*L elements,
// the first block plain products; their lane-wise sum ((acc0+acc1)+acc2)+acc3;
// the remaining whole L-blocks fused in; the tier's lane reduction; the last
// len mod L products added last, reduced like the rest on masked tiers and
// summed in index order otherwise), so each result has the lone dot's bits.
// What differs is only that the loops over a group's dots and accumulators
// are unrolled at compile time, which keeps all 4*G accumulators in
// registers.
// Include only from a tier source: everything here has internal linkage.

#include <cstddef>

#include "kavo_ops/slice_kernels/shared_operand_dots.h"

namespace kavo_ops {
namespace {

// The products of a[i .. len) and b[i .. len) (fewer than L), summed.
template <class L>
double dots_tail(const double* a, const double* b, std::size_t i, std::size_t len) noexcept {
  if constexpr (L::masked_tails) {
    const auto mask = L::first_lanes(len - i);
    return L::sum_lanes(L::masked_load(a + i, mask) * L::masked_load(b + i, mask));
  } else {
    double tail = a[i] * b[i];
    for (std::size_t j = i + 1; j < len; ++j) {
      const double product = a[j] * b[j];
      tail = tail + product;
    }
    return tail;
  }
}

template <class L, std::size_t G>
void register_dots(const double* a, const double* const* b, std::size_t len, double* out) noexcept {
  constexpr std::size_t lanes = L::lanes;
  using Reg = typename L::Reg;
  const double* rows[G];
#pragma GCC unroll 16
  for (std::size_t g = 0; g < G; ++g) rows[g] = b[g];
  std::size_t i = 0;
  Reg s[G];
#pragma GCC unroll 16
  for (std::size_t g = 0; g < G; ++g) s[g] = L::zero();
  if (len >= 4 * lanes) {
    Reg acc0[G], acc1[G], acc2[G], acc3[G];
    {
      const Reg a0 = L::load(a), a1 = L::load(a + lanes), a2 = L::load(a + 2 * lanes), a3 = L::load(a + 3 * lanes);
#pragma GCC unroll 16
      for (std::size_t g = 0; g < G; ++g) {
        acc0[g] = a0 * L::load(rows[g]);
        acc1[g] = a1 * L::load(rows[g] + lanes);
        acc2[g] = a2 * L::load(rows[g] + 2 * lanes);
        acc3[g] = a3 * L::load(rows[g] + 3 * lanes);
      }
    }
    for (i = 4 * lanes; i + 4 * lanes <= len; i += 4 * lanes) {
      const Reg a0 = L::load(a + i), a1 = L::load(a + i + lanes);
      const Reg a2 = L::load(a + i + 2 * lanes), a3 = L::load(a + i + 3 * lanes);
#pragma GCC unroll 16
      for (std::size_t g = 0; g < G; ++g) {
        acc0[g] = L::fma(a0, L::load(rows[g] + i), acc0[g]);
        acc1[g] = L::fma(a1, L::load(rows[g] + i + lanes), acc1[g]);
        acc2[g] = L::fma(a2, L::load(rows[g] + i + 2 * lanes), acc2[g]);
        acc3[g] = L::fma(a3, L::load(rows[g] + i + 3 * lanes), acc3[g]);
      }
    }
#pragma GCC unroll 16
    for (std::size_t g = 0; g < G; ++g) s[g] = ((acc0[g] + acc1[g]) + acc2[g]) + acc3[g];
  } else if (len >= lanes) {
    const Reg av = L::load(a);
#pragma GCC unroll 16
    for (std::size_t g = 0; g < G; ++g) s[g] = av * L::load(rows[g]);
    i = lanes;
  }
  for (; i + lanes <= len; i += lanes) {
    const Reg av = L::load(a + i);
#pragma GCC unroll 16
    for (std::size_t g = 0; g < G; ++g) s[g] = L::fma(av, L::load(rows[g] + i), s[g]);
  }
  if (i == len) {
#pragma GCC unroll 16
    for (std::size_t g = 0; g < G; ++g) out[g] = L::sum_lanes(s[g]);
  } else {
#pragma GCC unroll 16
    for (std::size_t g = 0; g < G; ++g) out[g] = L::sum_lanes(s[g]) + dots_tail<L>(a, rows[g], i, len);
  }
}

// The last count < G dots, in one group of their own.
template <class L, std::size_t G>
void register_dots_rest(const double* a, const double* const* b, std::size_t count, std::size_t len,
                        double* out) noexcept {
  if constexpr (G > 1) {
    if (count == G - 1) return register_dots<L, G - 1>(a, b, len, out);
    register_dots_rest<L, G - 1>(a, b, count, len, out);
  }
}

template <class L, std::size_t G>
void shared_operand_dots_body(const double* shared, const double* const* others, std::size_t count, std::size_t len,
                              double* out) noexcept {
  std::size_t g = 0;
  for (; g + G <= count; g += G) register_dots<L, G>(shared, others + g, len, out + g);
  register_dots_rest<L, G>(shared, others + g, count - g, len, out + g);
}

}  // namespace
}  // namespace kavo_ops
