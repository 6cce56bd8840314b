#include "kavo_ops/slice_kernels/elementwise_scalar_slice.h"

#include "kavo_ops/slice_kernels/slice_kernel_table.h"
#include "kavo_ops/slice_kernels/slice_length_check.h"

namespace kavo_ops {
namespace {

void run_with_scalar(SliceKernelTable::ScalarOperandF32 SliceKernelTable::*kernel, const char* output_length,
                     std::span<const float> a, float b, std::span<float> out) {
  require_equal_lengths(out.size(), a.size(), output_length);
  if (a.empty()) return;
  (active_slice_kernels().*kernel)(a.data(), b, out.data(), a.size());
}

}  // namespace

void add_scalar_slice(std::span<const float> a, float b, std::span<float> out) {
  run_with_scalar(&SliceKernelTable::add_scalar_f32, "add_scalar_slice: output length mismatch", a, b, out);
}
void sub_scalar_slice(std::span<const float> a, float b, std::span<float> out) {
  run_with_scalar(&SliceKernelTable::sub_scalar_f32, "sub_scalar_slice: output length mismatch", a, b, out);
}
void mul_scalar_slice(std::span<const float> a, float b, std::span<float> out) {
  run_with_scalar(&SliceKernelTable::mul_scalar_f32, "mul_scalar_slice: output length mismatch", a, b, out);
}
void div_scalar_slice(std::span<const float> a, float b, std::span<float> out) {
  run_with_scalar(&SliceKernelTable::div_scalar_f32, "div_scalar_slice: output length mismatch", a, b, out);
}

}  // namespace kavo_ops
