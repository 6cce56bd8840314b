#pragma once
// The plane rotation of two rows, the inner loop of every Jacobi step:
//   x'_k = c·x_k - s·y_k,   y'_k = c·y_k + s·x_k   for k < count,
// each product rounded before its add or subtract (no fused steps), so
// every processor tier gives the same bits; the tiers differ only in how
// many lanes one instruction carries.

#include <cstddef>

namespace kavo_ops {

void rotate_pair(double* x, double* y, std::size_t count, double c, double s) noexcept;

// One table per processor tier, defined by rotate_pair_tier_[abc].cpp.
struct RotatePairKernels {
  void (*rotate)(double* x, double* y, std::size_t count, double c, double s) noexcept;
};
extern const RotatePairKernels rotate_pair_tier_a, rotate_pair_tier_b, rotate_pair_tier_c;

}  // namespace kavo_ops
