// Magnitude kernels, tier C (x86-64 baseline): eight scalar accumulators,
// element 8k + j in acc[j], the last len mod 8 elements in acc[0], acc[1], ...

#include "fyrel/lanes/lanes_tier_c.h"
#include "kavo_ops/linalg/norms/magnitude_body.h"

namespace kavo_ops {

constinit const MagnitudeKernelTable magnitude_kernels_tier_c =
    magnitude_kernel_table<fyrel::tier_c::Lanes<double, 1>>();

}  // namespace kavo_ops
