#include "kavo_ops/linalg/symmetric_eigen/rotate_pair.h"

#include "platform/per_tier.h"

namespace kavo_ops {
namespace {

constexpr platform::PerTier<RotatePairKernels> rotate_pair_kernels{rotate_pair_tier_a, rotate_pair_tier_b,
                                                                   rotate_pair_tier_c};

}  // namespace

void rotate_pair(double* x, double* y, std::size_t count, double c, double s) noexcept {
  rotate_pair_kernels.active().rotate(x, y, count, c, s);
}

}  // namespace kavo_ops
