// Slice kernels, tier A (AVX-512F): sixteen float32 or eight float64 lanes
// per ZMM register, opmask tails, streaming stores for large elementwise
// outputs. Dot groups of six use 24 of the 32 ZMM registers for accumulators.

#include "fyrel/lanes/lanes_tier_a.h"
#include "kavo_ops/slice_kernels/slice_kernel_bodies.h"

namespace kavo_ops {

constinit const SliceKernelTable slice_kernels_tier_a =
    slice_kernel_table<fyrel::tier_a::Lanes<float>, fyrel::tier_a::Lanes<double>, 6>();

}  // namespace kavo_ops
