#include "kavo_ops/slice_kernels/axpy_slice.h"

#include "kavo_ops/slice_kernels/slice_kernel_table.h"
#include "kavo_ops/slice_kernels/slice_length_check.h"

namespace kavo_ops {

void axpy_slice(float alpha, std::span<const float> x, std::span<float> out) {
  require_equal_lengths(x.size(), out.size(), "axpy_slice: x.len() != out.len()");
  if (x.empty()) return;
  active_slice_kernels().axpy_f32(alpha, x.data(), out.data(), x.size());
}

void axpy_slice(double alpha, std::span<const double> x, std::span<double> out) {
  require_equal_lengths(x.size(), out.size(), "axpy_slice: x.len() != out.len()");
  if (x.empty()) return;
  active_slice_kernels().axpy_f64(alpha, x.data(), out.data(), x.size());
}

}  // namespace kavo_ops
