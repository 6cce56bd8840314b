// Tier A: vectors of eight lanes (one ZMM each).
#include "kavo_ops/linalg/svd/bidiagonal_qr/rotation_log.h"
#include "kavo_ops/linalg/svd/bidiagonal_qr/rotation_log_body.h"

namespace kavo_ops {

constinit const ApplyRotationsKernels apply_rotations_tier_a{apply_rotations_body<8>};

}  // namespace kavo_ops
