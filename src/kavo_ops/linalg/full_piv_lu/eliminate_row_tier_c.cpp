// The fused row update and search of complete pivoting, tier C (x86-64
// baseline): two float64 lanes per XMM register, the tail one by one.

#include "fyrel/lanes/lanes_tier_c.h"
#include "kavo_ops/linalg/full_piv_lu/eliminate_row_body.h"

namespace kavo_ops {

constinit const EliminateRowKernels eliminate_row_tier_c = eliminate_row_table<fyrel::tier_c::Lanes<double>>();

}  // namespace kavo_ops
