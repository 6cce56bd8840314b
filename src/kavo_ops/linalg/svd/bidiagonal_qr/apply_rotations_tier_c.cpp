// Tier C: vectors of two lanes (one XMM each).
#include "kavo_ops/linalg/svd/bidiagonal_qr/rotation_log.h"
#include "kavo_ops/linalg/svd/bidiagonal_qr/rotation_log_body.h"

namespace kavo_ops {

constinit const ApplyRotationsKernels apply_rotations_tier_c{apply_rotations_body<2>};

}  // namespace kavo_ops
