#pragma once
// float32 sum of a contiguous run, accumulated in float32 in the active
// tier's fixed order (four vector accumulators, then a halving reduction):
// deterministic on one machine, possibly different in the last bits between
// tiers. An empty run gives 0.

#include <span>

namespace kavo_ops {

float sum_slice(std::span<const float> x);

}  // namespace kavo_ops
