#pragma once
// Sum of a[i] * b[i] in the element type. Each tier sums in its own fixed
// order (four vector accumulators on tiers A and B, sixteen scalar partial
// sums on tier C), so results may differ in the last bits between machines
// but are deterministic on one machine. An empty input gives 0.
// len(a) must equal len(b) ("dot_slice: a.len() != b.len()" otherwise).

#include <span>

namespace kavo_ops {

float dot_slice(std::span<const float> a, std::span<const float> b);
double dot_slice(std::span<const double> a, std::span<const double> b);

}  // namespace kavo_ops
