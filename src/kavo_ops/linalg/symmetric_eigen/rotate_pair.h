#pragma once
// The plane rotation of two rows, the inner loop of every Jacobi step:
//   x'_k = c·x_k - s·y_k,   y'_k = c·y_k + s·x_k   for k < count,
// each product rounded before its add or subtract (no fused steps), so
// every processor tier gives the same bits; the tiers differ only in how
// many lanes one instruction carries.

#include <cstddef>

namespace kavo_ops {

void rotate_pair(double* x, double* y, std::size_t count, double c, double s) noexcept;

#define KAVO_ROTATE_PAIR_TIER(tier) \
  namespace tier {                  \
  void rotate_pair(double* x, double* y, std::size_t count, double c, double s) noexcept; \
  }
KAVO_ROTATE_PAIR_TIER(tier_a)
KAVO_ROTATE_PAIR_TIER(tier_b)
KAVO_ROTATE_PAIR_TIER(tier_c)
#undef KAVO_ROTATE_PAIR_TIER

}  // namespace kavo_ops
