#include "kavo_ops/linalg/norms/magnitude_slice.h"

#include "kavo_ops/linalg/norms/magnitude_kernel_table.h"

namespace kavo_ops {

double magnitude_sum_slice(std::span<const double> x) noexcept {
  if (x.empty()) return 0.0;
  return active_magnitude_kernels().sum_f64(x.data(), x.size());
}

double max_magnitude_slice(std::span<const double> x) noexcept {
  if (x.empty()) return 0.0;
  return active_magnitude_kernels().max_f64(x.data(), x.size());
}

}  // namespace kavo_ops
