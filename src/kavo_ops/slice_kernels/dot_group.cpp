#include "kavo_ops/slice_kernels/dot_group.h"

#include "kavo_ops/slice_kernels/slice_kernel_table.h"

namespace kavo_ops {

void dot_group(const double* shared, const double* const* others, std::size_t count, std::size_t len,
               double* out) noexcept {
  if (len == 0) {
    for (std::size_t g = 0; g < count; ++g) out[g] = 0.0;
    return;
  }
  active_slice_kernels().dot_group_f64(shared, others, count, len, out);
}

}  // namespace kavo_ops
