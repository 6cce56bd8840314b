#include "kavo_ops/linalg/qr/reflect_and_sum.h"

#include "platform/per_tier.h"

namespace kavo_ops {
namespace {

constexpr platform::PerTier<ReflectAndSumKernels> reflect_and_sum_kernels{reflect_and_sum_tier_a, reflect_and_sum_tier_b,
                                                                          reflect_and_sum_tier_c};

}  // namespace

void reflect_and_sum(double* block, std::size_t row_stride, std::size_t rows, std::size_t width, const double* c,
                     const double* scaled_sums, const double* c_next, double* next_sums) noexcept {
  reflect_and_sum_kernels.active().reflect_and_sum(block, row_stride, rows, width, c, scaled_sums, c_next, next_sums);
}

}  // namespace kavo_ops
