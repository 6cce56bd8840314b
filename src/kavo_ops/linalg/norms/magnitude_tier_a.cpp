// Magnitude kernels, tier A (AVX-512F): eight float64 lanes per ZMM register,
// opmask tails.

#include "fyrel/lanes/lanes_tier_a.h"
#include "kavo_ops/linalg/norms/magnitude_body.h"

namespace kavo_ops {

constinit const MagnitudeKernelTable magnitude_kernels_tier_a = magnitude_kernel_table<fyrel::tier_a::Lanes<double>>();

}  // namespace kavo_ops
