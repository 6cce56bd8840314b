// Tier B (AVX2 + FMA): four lanes per register.
#include "kavo_ops/linalg/symmetric_eigen/row_best_avx2_body.h"

namespace kavo_ops {

constinit const RowBestKernels row_best_tier_b{row_best_avx2, first_largest_avx2, rows_to_revisit_avx2};

}  // namespace kavo_ops
