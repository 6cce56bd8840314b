#pragma once
// The backward sweep L^T x = y for a group of kCholeskyGroup right-hand
// sides at once, interleaved (x[k * kCholeskyGroup + g]), with L given
// transposed so that the column it walks is one contiguous row:
//   for i = n-1 .. 0: e = x[i]; e -= x[k] * L[k][i] for k = i+1 .. n-1; x[i] = e / L[i][i]
// Per right-hand side exactly the single solve's operations and order, each
// product rounded before its subtraction; the tiers differ only in vector
// width, so every tier gives the same bits.

#include <cstddef>

namespace kavo_ops {

inline constexpr std::size_t kCholeskyGroup = 32;

void cholesky_backward_group(const double* l_transposed, std::size_t n, double* x) noexcept;

// One table per processor tier, defined by cholesky_backward_group_tier_[abc].cpp.
struct CholeskyBackwardGroupKernels {
  void (*sweep)(const double* l_transposed, std::size_t n, double* x) noexcept;
};
extern const CholeskyBackwardGroupKernels cholesky_backward_group_tier_a, cholesky_backward_group_tier_b,
    cholesky_backward_group_tier_c;

}  // namespace kavo_ops
