#include "kavo_ops/linalg/reflect_rows/reflect_rows.h"

#include "platform/per_tier.h"

namespace kavo_ops {
namespace {

constexpr platform::PerTier<ReflectRowsKernels> reflect_rows_kernels{reflect_rows_tier_a, reflect_rows_tier_b,
                                                                     reflect_rows_tier_c};

}  // namespace

void reflect_rows(double* block, std::size_t row_stride, std::size_t rows, std::size_t width, double head,
                  const double* tail, std::size_t tail_stride, double tau, ReflectRounding rounding) noexcept {
  const ReflectRowsKernels& kernels = reflect_rows_kernels.active();
  const auto reflect = rounding == ReflectRounding::fused ? kernels.fused : kernels.separate;
  reflect(block, row_stride, rows, width, head, tail, tail_stride, tau);
}

}  // namespace kavo_ops
