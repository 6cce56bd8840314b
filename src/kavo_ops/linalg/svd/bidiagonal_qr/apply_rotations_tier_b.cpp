// Tier B: vectors of four lanes (one YMM each).
#include "kavo_ops/linalg/svd/bidiagonal_qr/rotation_log.h"
#include "kavo_ops/linalg/svd/bidiagonal_qr/rotation_log_body.h"

namespace kavo_ops {

constinit const ApplyRotationsKernels apply_rotations_tier_b{apply_rotations_body<4>};

}  // namespace kavo_ops
