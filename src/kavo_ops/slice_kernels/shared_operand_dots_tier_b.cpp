// The register-held grouped dots, tier B (AVX2 + FMA): four float64 lanes,
// three dots per group (12 accumulators in the 16 YMM registers).

#include "fyrel/lanes/lanes_tier_b.h"
#include "kavo_ops/slice_kernels/shared_operand_dots_body.h"

namespace kavo_ops {

constinit const SharedOperandDotsKernels shared_operand_dots_tier_b{&shared_operand_dots_body<fyrel::tier_b::Lanes<double>, 3>};

}  // namespace kavo_ops
