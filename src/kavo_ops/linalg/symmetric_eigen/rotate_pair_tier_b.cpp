// Tier B (AVX2): four lanes per instruction.
#include "kavo_ops/linalg/symmetric_eigen/rotate_pair.h"
#include "kavo_ops/linalg/symmetric_eigen/rotate_pair_body.h"

namespace kavo_ops {

constinit const RotatePairKernels rotate_pair_tier_b{rotate_pair_body};

}  // namespace kavo_ops
