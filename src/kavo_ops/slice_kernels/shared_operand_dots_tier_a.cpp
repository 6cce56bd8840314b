// The register-held grouped dots, tier A (AVX-512F): eight float64 lanes,
// six dots per group (24 accumulators beside the shared vectors).

#include "fyrel/lanes/lanes_tier_a.h"
#include "kavo_ops/slice_kernels/shared_operand_dots_body.h"

namespace kavo_ops {

constinit const SharedOperandDotsKernels shared_operand_dots_tier_a{&shared_operand_dots_body<fyrel::tier_a::Lanes<double>, 6>};

}  // namespace kavo_ops
