// Tier A: eight-lane vectors (one ZMM each).
#include "kavo_ops/linalg/cholesky/cholesky_backward_group_body.h"

namespace kavo_ops {

constinit const CholeskyBackwardGroupKernels cholesky_backward_group_tier_a{backward_group_body<8>};

}  // namespace kavo_ops
