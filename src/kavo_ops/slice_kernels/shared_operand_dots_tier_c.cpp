// The register-held grouped dots, tier C (x86-64 baseline): the four-lane
// float64 vectors of tier C's dot kernel, one dot at a time.

#include "fyrel/lanes/lanes_tier_c.h"
#include "kavo_ops/slice_kernels/shared_operand_dots_body.h"

namespace kavo_ops {

constinit const SharedOperandDotsKernels shared_operand_dots_tier_c{&shared_operand_dots_body<fyrel::tier_c::Lanes<double, 4>, 1>};

}  // namespace kavo_ops
