// Slice kernels, tier B (AVX2 + FMA): eight float32 or four float64 lanes per
// YMM register, vmaskmov tails, streaming stores for large elementwise
// outputs. Dot groups of three use 12 of the 16 YMM registers for
// accumulators.

#include "fyrel/lanes/lanes_tier_b.h"
#include "kavo_ops/slice_kernels/slice_kernel_bodies.h"

namespace kavo_ops {

constinit const SliceKernelTable slice_kernels_tier_b =
    slice_kernel_table<fyrel::tier_b::Lanes<float>, fyrel::tier_b::Lanes<double>, 3>();

}  // namespace kavo_ops
