#pragma once
// The slice kernel table a tier's source builds from the kernel bodies, over
// the tier's float and double lanes (fyrel/lanes), with dot groups of
// `dot_group` dots (as many as the tier's registers hold beside the shared
// vectors).
// Include only from a tier source: everything here has internal linkage.

#include <cstddef>

#include "kavo_ops/slice_kernels/axpy_body.h"
#include "kavo_ops/slice_kernels/dot_body.h"
#include "kavo_ops/slice_kernels/elementwise_body.h"
#include "kavo_ops/slice_kernels/slice_kernel_table.h"
#include "kavo_ops/slice_kernels/sum_body.h"

namespace kavo_ops {
namespace {

template <class F32, class F64, std::size_t dot_group>
constexpr SliceKernelTable slice_kernel_table() noexcept {
  return {
      .add_f32 = elementwise<F32, Add>,
      .sub_f32 = elementwise<F32, Sub>,
      .mul_f32 = elementwise<F32, Mul>,
      .div_f32 = elementwise<F32, Div>,
      .axpy_f32 = axpy<F32>,
      .axpy_f64 = axpy<F64>,
      .dot_f32 = dot<F32>,
      .dot_f64 = dot<F64>,
      .sum_f32 = sum<F32>,
      .dot_group_f64 = dot_groups<F64, dot_group>,
      .add_scalar_f32 = with_scalar<F32, Add>,
      .sub_scalar_f32 = with_scalar<F32, Sub>,
      .mul_scalar_f32 = with_scalar<F32, Mul>,
      .div_scalar_f32 = with_scalar<F32, Div>,
  };
}

}  // namespace
}  // namespace kavo_ops
