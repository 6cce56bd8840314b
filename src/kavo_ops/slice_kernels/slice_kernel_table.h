#pragma once
// One table of kernel entry points per processor tier, defined by
// slice_kernels_tier_[abc].cpp from the kernel bodies (slice_kernel_bodies.h).
// The checked kernels (elementwise_slice.h, elementwise_scalar_slice.h,
// axpy_slice.h, dot_slice.h, sum_slice.h) look up the active tier's table on
// every call and go through it.

#include <cstddef>

#include "platform/processor_tier.h"

namespace kavo_ops {

struct SliceKernelTable {
  // Return false, writing nothing, when a_len != b_len or out_len < a_len.
  using ElementwiseF32 = bool (*)(const float* a, std::size_t a_len, const float* b, std::size_t b_len, float* out,
                                  std::size_t out_len) noexcept;
  using ScalarOperandF32 = void (*)(const float* a, float b, float* out, std::size_t len) noexcept;
  using AxpyF32 = void (*)(float alpha, const float* x, float* out, std::size_t len) noexcept;
  using AxpyF64 = void (*)(double alpha, const double* x, double* out, std::size_t len) noexcept;
  using DotF32 = float (*)(const float* a, const float* b, std::size_t len) noexcept;
  using DotF64 = double (*)(const double* a, const double* b, std::size_t len) noexcept;
  using SumF32 = float (*)(const float* x, std::size_t len) noexcept;
  using DotGroupF64 = void (*)(const double* shared, const double* const* others, std::size_t count, std::size_t len,
                               double* out) noexcept;

  ElementwiseF32 add_f32;
  ElementwiseF32 sub_f32;
  ElementwiseF32 mul_f32;
  ElementwiseF32 div_f32;
  AxpyF32 axpy_f32;
  AxpyF64 axpy_f64;
  DotF32 dot_f32;
  DotF64 dot_f64;
  SumF32 sum_f32;
  DotGroupF64 dot_group_f64;
  ScalarOperandF32 add_scalar_f32;
  ScalarOperandF32 sub_scalar_f32;
  ScalarOperandF32 mul_scalar_f32;
  ScalarOperandF32 div_scalar_f32;
};

extern const SliceKernelTable slice_kernels_tier_a, slice_kernels_tier_b, slice_kernels_tier_c;

const SliceKernelTable& slice_kernels(platform::Tier tier) noexcept;

// The table of active_tier(), read afresh on every call.
const SliceKernelTable& active_slice_kernels() noexcept;

}  // namespace kavo_ops
