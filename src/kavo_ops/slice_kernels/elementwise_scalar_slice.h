#pragma once
// Float32 kernels with one operand repeated: out[i] = a[i] op b over a
// contiguous run. The rows of a column broadcast (b of shape (rows, 1)) take
// this path, one row at a time. Each element gets the same IEEE operation as
// in elementwise_slice.h, so the results equal the per-element loop on every
// tier. Single-threaded and allocation-free.
//
// The output length must match (invariant failure otherwise, naming both
// lengths): "<op>_scalar_slice: output length mismatch".

#include <span>

namespace kavo_ops {

void add_scalar_slice(std::span<const float> a, float b, std::span<float> out);
void sub_scalar_slice(std::span<const float> a, float b, std::span<float> out);
void mul_scalar_slice(std::span<const float> a, float b, std::span<float> out);
void div_scalar_slice(std::span<const float> a, float b, std::span<float> out);

}  // namespace kavo_ops
