#pragma once
// The fused row update and magnitude search of eliminate_row.h, compiled by
// every tier over its float64 lanes L (fyrel/lanes): four vectors per
// iteration, each with its own running maximum, then single vectors, then
// the last len mod L elements as one masked vector or, on a tier without
// masks, one by one; rows shorter than one vector go element by element. A
// candidate replaces a running maximum only when it is larger, so a NaN
// never does.
// Include only from a tier source: everything here has internal linkage.

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "fyrel/lanes/lane_vector.h"
#include "kavo_ops/linalg/full_piv_lu/eliminate_row.h"

namespace kavo_ops {
namespace {

template <class L>
typename L::Reg magnitude_of(typename L::Reg v) noexcept {
  using Bits = typename L::Bits;
  constexpr std::int64_t kSignCleared = 0x7FFF'FFFF'FFFF'FFFF;
  return std::bit_cast<typename L::Reg>(std::bit_cast<Bits>(v) & kSignCleared);
}

template <class R>
R keep_larger(R candidate, R best) noexcept {
  return candidate > best ? candidate : best;
}

template <class L>
double eliminate_row(double alpha, const double* x, double* out, std::size_t len) noexcept {
  using Reg = typename L::Reg;
  constexpr std::size_t lanes = L::lanes;
  if (len < lanes) {
    // Short rows (the last steps, small matrices): no vector to set up and
    // reduce.
    double best = -1.0;
    for (std::size_t i = 0; i < len; ++i) {
      out[i] = std::fma(alpha, x[i], out[i]);
      best = keep_larger(std::fabs(out[i]), best);
    }
    return best;
  }
  const Reg a = L::splat(alpha);
  Reg best[4] = {L::splat(-1.0), L::splat(-1.0), L::splat(-1.0), L::splat(-1.0)};
  std::size_t i = 0;
  for (; i + 4 * lanes <= len; i += 4 * lanes) {
    for (std::size_t k = 0; k < 4; ++k) {
      double* o = out + i + k * lanes;
      const Reg updated = L::fma(a, L::load(x + i + k * lanes), L::load(o));
      L::store(o, updated);
      best[k] = keep_larger(magnitude_of<L>(updated), best[k]);
    }
  }
  for (; i + lanes <= len; i += lanes) {
    const Reg updated = L::fma(a, L::load(x + i), L::load(out + i));
    L::store(out + i, updated);
    best[0] = keep_larger(magnitude_of<L>(updated), best[0]);
  }
  double result = -1.0;
  if constexpr (L::masked_tails) {
    if (i < len) {
      const auto mask = L::first_lanes(len - i);
      const Reg updated = L::fma(a, L::masked_load(x + i, mask), L::masked_load(out + i, mask));
      L::masked_store(out + i, updated, mask);
      // Lanes past the end hold no entry: they compete as -1.
      const Reg candidate = L::first_lanes_bits(len - i) ? magnitude_of<L>(updated) : L::splat(-1.0);
      best[1] = keep_larger(candidate, best[1]);
    }
  } else {
    for (; i < len; ++i) {
      out[i] = std::fma(alpha, x[i], out[i]);
      result = keep_larger(std::fabs(out[i]), result);
    }
  }
  const Reg merged = keep_larger(keep_larger(best[0], best[1]), keep_larger(best[2], best[3]));
  return keep_larger(L::fold_halves(merged, [](auto lower, auto upper) { return keep_larger(upper, lower); }), result);
}

template <class L>
constexpr EliminateRowKernels eliminate_row_table() noexcept {
  return {&eliminate_row<L>};
}

}  // namespace
}  // namespace kavo_ops
