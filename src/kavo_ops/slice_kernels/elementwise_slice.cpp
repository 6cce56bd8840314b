#include "kavo_ops/slice_kernels/elementwise_slice.h"

#include "kavo_ops/slice_kernels/slice_kernel_table.h"
#include "kavo_ops/slice_kernels/slice_length_check.h"

namespace kavo_ops {
namespace {

struct ElementwiseMessages {
  const char* input_lengths;
  const char* output_length;
};

void run_elementwise(SliceKernelTable::ElementwiseF32 SliceKernelTable::*kernel,
                     SliceKernelTable::ElementwiseF32 baseline, const ElementwiseMessages& messages,
                     std::span<const float> a, std::span<const float> b, std::span<float> out) {
  require_equal_lengths(a.size(), b.size(), messages.input_lengths);
  require_equal_lengths(out.size(), a.size(), messages.output_length);
  if (a.empty()) return;
  const auto vector_kernel = active_slice_kernels().*kernel;
  // The tier kernels re-check the lengths and refuse rather than compute on a
  // mismatch; after the checks above that cannot happen, but if it did the
  // baseline loop redoes the whole operation.
  if (!vector_kernel(a.data(), a.size(), b.data(), b.size(), out.data(), out.size())) {
    baseline(a.data(), a.size(), b.data(), a.size(), out.data(), a.size());
  }
}

}  // namespace

void add_slice(std::span<const float> a, std::span<const float> b, std::span<float> out) {
  run_elementwise(&SliceKernelTable::add_f32, slice_kernels_tier_c.add_f32,
                  {"add_slice: a.len() != b.len()", "add_slice: output length mismatch"}, a, b, out);
}
void sub_slice(std::span<const float> a, std::span<const float> b, std::span<float> out) {
  run_elementwise(&SliceKernelTable::sub_f32, slice_kernels_tier_c.sub_f32,
                  {"sub_slice: a.len() != b.len()", "sub_slice: output length mismatch"}, a, b, out);
}
void mul_slice(std::span<const float> a, std::span<const float> b, std::span<float> out) {
  run_elementwise(&SliceKernelTable::mul_f32, slice_kernels_tier_c.mul_f32,
                  {"mul_slice: a.len() != b.len()", "mul_slice: output length mismatch"}, a, b, out);
}
void div_slice(std::span<const float> a, std::span<const float> b, std::span<float> out) {
  run_elementwise(&SliceKernelTable::div_f32, slice_kernels_tier_c.div_f32,
                  {"div_slice: a.len() != b.len()", "div_slice: output length mismatch"}, a, b, out);
}

}  // namespace kavo_ops
