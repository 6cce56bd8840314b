// The fused row update and search of complete pivoting, tier A (AVX-512F):
// eight float64 lanes per ZMM register, opmask tails.

#include "fyrel/lanes/lanes_tier_a.h"
#include "kavo_ops/linalg/full_piv_lu/eliminate_row_body.h"

namespace kavo_ops {

constinit const EliminateRowKernels eliminate_row_tier_a = eliminate_row_table<fyrel::tier_a::Lanes<double>>();

}  // namespace kavo_ops
