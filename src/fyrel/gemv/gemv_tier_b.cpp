// gemv and gemv_transpose, tier B (AVX2 + FMA): four float64 lanes per YMM
// register, vmaskmov tails; gemv_transpose carries chunks of 16 columns.

#include "fyrel/gemv/gemv_body.h"
#include "fyrel/gemv/gemv_kernel_table.h"
#include "fyrel/gemv/gemv_transpose_body.h"
#include "fyrel/lanes/lanes_tier_b.h"

namespace fyrel {

constinit const GemvKernels gemv_kernels_tier_b{gemv_body<tier_b::Lanes<double>>,
                                                gemv_transpose_body<tier_b::Lanes<double>>};

}  // namespace fyrel
