#include "kavo_ops/slice_kernels/dot_slice.h"

#include "kavo_ops/slice_kernels/slice_kernel_table.h"
#include "kavo_ops/slice_kernels/slice_length_check.h"

namespace kavo_ops {

float dot_slice(std::span<const float> a, std::span<const float> b) {
  require_equal_lengths(a.size(), b.size(), "dot_slice: a.len() != b.len()");
  if (a.empty()) return 0.0f;
  return active_slice_kernels().dot_f32(a.data(), b.data(), a.size());
}

double dot_slice(std::span<const double> a, std::span<const double> b) {
  require_equal_lengths(a.size(), b.size(), "dot_slice: a.len() != b.len()");
  if (a.empty()) return 0.0;
  return active_slice_kernels().dot_f64(a.data(), b.data(), a.size());
}

}  // namespace kavo_ops
