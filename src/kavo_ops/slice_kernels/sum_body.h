#pragma once
// The float32 sum kernel every tier compiles with its own target flags, over
// the tier's lanes L (fyrel/lanes), W lanes per vector:
//   acc0..acc3 start at zero and take blocks of 4*W elements (acc k gets the
//     k-th W elements of each block); four independent chains hide the add
//     latency. Combined as S = (acc3 + acc2) + (acc1 + acc0) (tier C's
//     (acc1 + acc0) + (acc2 + acc3) is the same sum: every addition commutes
//     exactly).
//   S takes the remaining whole W-blocks one at a time and is reduced to one
//     value the tier's way: by halves on tiers A and B, in lane order on
//     tier C.
//   The last len mod W elements are added last: reduced like S from one
//     masked vector (missing lanes 0) on tiers A and B, summed in index order
//     on tier C.
// Include only from a tier source: everything here has internal linkage.

#include <cstddef>

namespace kavo_ops {
namespace {

template <class L>
float sum(const float* x, std::size_t len) noexcept {
  constexpr std::size_t lanes = L::lanes;
  auto acc0 = L::zero();
  auto acc1 = L::zero();
  auto acc2 = L::zero();
  auto acc3 = L::zero();
  std::size_t i = 0;
  for (; i + 4 * lanes <= len; i += 4 * lanes) {
    acc0 = acc0 + L::load(x + i);
    acc1 = acc1 + L::load(x + i + lanes);
    acc2 = acc2 + L::load(x + i + 2 * lanes);
    acc3 = acc3 + L::load(x + i + 3 * lanes);
  }
  auto s = (acc3 + acc2) + (acc1 + acc0);
  for (; i + lanes <= len; i += lanes) s = s + L::load(x + i);
  float result = L::sum_lanes(s);
  if (i == len) return result;
  if constexpr (L::masked_tails) {
    return result + L::sum_lanes(L::masked_load(x + i, L::first_lanes(len - i)));
  } else {
    float tail = x[i];
    for (std::size_t j = i + 1; j < len; ++j) tail = tail + x[j];
    return result + tail;
  }
}

}  // namespace
}  // namespace kavo_ops
