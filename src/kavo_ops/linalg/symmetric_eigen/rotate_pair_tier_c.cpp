// Tier C (SSE2 baseline): two lanes per instruction.
#include "kavo_ops/linalg/symmetric_eigen/rotate_pair.h"
#include "kavo_ops/linalg/symmetric_eigen/rotate_pair_body.h"

namespace kavo_ops {

constinit const RotatePairKernels rotate_pair_tier_c{rotate_pair_body};

}  // namespace kavo_ops
