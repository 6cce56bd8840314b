#include "kavo_ops/slice_kernels/shared_operand_dots.h"

#include "platform/per_tier.h"

namespace kavo_ops {
namespace {

constexpr platform::PerTier<SharedOperandDotsKernels> shared_operand_dots_kernels{
    shared_operand_dots_tier_a, shared_operand_dots_tier_b, shared_operand_dots_tier_c};

}  // namespace

void shared_operand_dots(const double* shared, const double* const* others, std::size_t count, std::size_t len,
                         double* out) noexcept {
  if (len == 0) {
    for (std::size_t g = 0; g < count; ++g) out[g] = 0.0;
    return;
  }
  shared_operand_dots_kernels.active().dots(shared, others, count, len, out);
}

SharedOperandDotsKernels::Dots active_shared_operand_dots() noexcept {
  return shared_operand_dots_kernels.active().dots;
}

}  // namespace kavo_ops
