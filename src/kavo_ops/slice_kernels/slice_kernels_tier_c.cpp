// Slice kernels, tier C (the x86-64 baseline): four lanes of float32 (one XMM
// register) or of float64 (two), element-by-element tails, no streaming
// stores, fused multiply-adds through std::fma. The four float64 lanes give
// the dot its sixteen partial sums in four groups of four; no registers are
// worth sharing between the dots of a group, so they run one by one.

#include "fyrel/lanes/lanes_tier_c.h"
#include "kavo_ops/slice_kernels/slice_kernel_bodies.h"

namespace kavo_ops {

constinit const SliceKernelTable slice_kernels_tier_c =
    slice_kernel_table<fyrel::tier_c::Lanes<float>, fyrel::tier_c::Lanes<double, 4>, 1>();

}  // namespace kavo_ops
