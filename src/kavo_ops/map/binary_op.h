#pragma once
// The four elementwise float32 operations of the binary map: each as a slice
// kernel over contiguous runs, with a repeated second operand, and as the
// same IEEE operation on one element.

#include <span>

#include "kavo_ops/slice_kernels/elementwise_scalar_slice.h"
#include "kavo_ops/slice_kernels/elementwise_slice.h"

namespace kavo_ops {

enum class BinaryOp { add, sub, mul, div };

inline float apply(BinaryOp op, float a, float b) noexcept {
  switch (op) {
    case BinaryOp::add: return a + b;
    case BinaryOp::sub: return a - b;
    case BinaryOp::mul: return a * b;
    case BinaryOp::div: return a / b;
  }
  return 0.0f;
}

inline void apply_slice(BinaryOp op, std::span<const float> a, std::span<const float> b, std::span<float> out) {
  switch (op) {
    case BinaryOp::add: return add_slice(a, b, out);
    case BinaryOp::sub: return sub_slice(a, b, out);
    case BinaryOp::mul: return mul_slice(a, b, out);
    case BinaryOp::div: return div_slice(a, b, out);
  }
}

inline void apply_scalar_slice(BinaryOp op, std::span<const float> a, float b, std::span<float> out) {
  switch (op) {
    case BinaryOp::add: return add_scalar_slice(a, b, out);
    case BinaryOp::sub: return sub_scalar_slice(a, b, out);
    case BinaryOp::mul: return mul_scalar_slice(a, b, out);
    case BinaryOp::div: return div_scalar_slice(a, b, out);
  }
}

}  // namespace kavo_ops
