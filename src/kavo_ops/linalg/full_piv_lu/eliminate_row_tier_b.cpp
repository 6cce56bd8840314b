// The fused row update and search of complete pivoting, tier B (AVX2 + FMA):
// four float64 lanes per YMM register, vmaskmov tails.

#include "fyrel/lanes/lanes_tier_b.h"
#include "kavo_ops/linalg/full_piv_lu/eliminate_row_body.h"

namespace kavo_ops {

constinit const EliminateRowKernels eliminate_row_tier_b = eliminate_row_table<fyrel::tier_b::Lanes<double>>();

}  // namespace kavo_ops
