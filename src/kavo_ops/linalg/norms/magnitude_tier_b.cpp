// Magnitude kernels, tier B (AVX2): four float64 lanes per YMM register,
// vmaskmov tails.

#include "fyrel/lanes/lanes_tier_b.h"
#include "kavo_ops/linalg/norms/magnitude_body.h"

namespace kavo_ops {

constinit const MagnitudeKernelTable magnitude_kernels_tier_b = magnitude_kernel_table<fyrel::tier_b::Lanes<double>>();

}  // namespace kavo_ops
