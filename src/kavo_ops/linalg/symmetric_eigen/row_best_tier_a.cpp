// Tier A: the AVX2 form (four lanes); the searches are short rows, where wider registers gain little.
#include "kavo_ops/linalg/symmetric_eigen/row_best_avx2_body.h"

namespace kavo_ops {

constinit const RowBestKernels row_best_tier_a{row_best_avx2, first_largest_avx2, rows_to_revisit_avx2};

}  // namespace kavo_ops
