#pragma once
// Elementwise float32 kernels over contiguous runs: out[i] = a[i] op b[i].
// Plain IEEE arithmetic, round to nearest, no special cases (1/0 is inf, 0/0
// NaN); the results are identical on every processor tier. Outputs are only
// written, never read. From 2^21 elements on, tiers A and B write with
// streaming stores so that huge outputs do not evict the inputs from cache.
// Single-threaded and allocation-free; callers split large work themselves.
//
// Lengths must match (invariant failure otherwise, naming both lengths):
// "<op>_slice: a.len() != b.len()", then "<op>_slice: output length mismatch".

#include <span>

namespace kavo_ops {

void add_slice(std::span<const float> a, std::span<const float> b, std::span<float> out);
void sub_slice(std::span<const float> a, std::span<const float> b, std::span<float> out);
void mul_slice(std::span<const float> a, std::span<const float> b, std::span<float> out);
void div_slice(std::span<const float> a, std::span<const float> b, std::span<float> out);

}  // namespace kavo_ops
