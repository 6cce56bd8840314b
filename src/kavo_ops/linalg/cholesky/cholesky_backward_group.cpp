#include "kavo_ops/linalg/cholesky/cholesky_backward_group.h"

#include "platform/per_tier.h"

namespace kavo_ops {
namespace {

constexpr platform::PerTier<CholeskyBackwardGroupKernels> cholesky_backward_group_kernels{
    cholesky_backward_group_tier_a, cholesky_backward_group_tier_b, cholesky_backward_group_tier_c};

}  // namespace

void cholesky_backward_group(const double* l_transposed, std::size_t n, double* x) noexcept {
  cholesky_backward_group_kernels.active().sweep(l_transposed, n, x);
}

}  // namespace kavo_ops
