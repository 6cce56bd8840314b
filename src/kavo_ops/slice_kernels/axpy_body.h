#pragma once
// The axpy kernel every tier compiles with its own target flags, over the
// tier's lanes L (fyrel/lanes): out <- fma(alpha, x, out), one rounding per
// element, so every tier gives the same bits. Four vectors per iteration,
// then single vectors, then the last 1 .. L-1 elements as one masked vector
// or, on a tier without masks, one by one. Ordinary stores: the output was
// just read, so it is in cache anyway.
// Include only from a tier source: everything here has internal linkage.

#include <cmath>
#include <cstddef>

namespace kavo_ops {
namespace {

template <class L>
void axpy(typename L::Element alpha, const typename L::Element* x, typename L::Element* out, std::size_t len) noexcept {
  constexpr std::size_t lanes = L::lanes;
  const auto a = L::splat(alpha);
  std::size_t i = 0;
  for (; i + 4 * lanes <= len; i += 4 * lanes) {
    for (std::size_t k = 0; k < 4; ++k) {
      auto* o = out + i + k * lanes;
      L::store(o, L::fma(a, L::load(x + i + k * lanes), L::load(o)));
    }
  }
  for (; i + lanes <= len; i += lanes) L::store(out + i, L::fma(a, L::load(x + i), L::load(out + i)));
  if constexpr (L::masked_tails) {
    if (i < len) {
      const auto mask = L::first_lanes(len - i);
      L::masked_store(out + i, L::fma(a, L::masked_load(x + i, mask), L::masked_load(out + i, mask)), mask);
    }
  } else {
    for (; i < len; ++i) out[i] = std::fma(alpha, x[i], out[i]);
  }
}

}  // namespace
}  // namespace kavo_ops
