#include "kavo_ops/linalg/full_piv_lu/eliminate_row.h"

#include "platform/per_tier.h"

namespace kavo_ops {
namespace {

constexpr platform::PerTier<EliminateRowKernels> eliminate_row_kernels{eliminate_row_tier_a, eliminate_row_tier_b,
                                                                       eliminate_row_tier_c};

}  // namespace

double eliminate_row(double alpha, const double* x, double* out, std::size_t len) noexcept {
  return eliminate_row_kernels.active().eliminate(alpha, x, out, len);
}

EliminateRowKernels::Eliminate active_eliminate_row() noexcept { return eliminate_row_kernels.active().eliminate; }

}  // namespace kavo_ops
