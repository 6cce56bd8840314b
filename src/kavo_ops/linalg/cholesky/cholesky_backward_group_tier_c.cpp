// Tier C: four-lane vectors (two XMM each).
#include "kavo_ops/linalg/cholesky/cholesky_backward_group_body.h"

namespace kavo_ops {

constinit const CholeskyBackwardGroupKernels cholesky_backward_group_tier_c{backward_group_body<4>};

}  // namespace kavo_ops
