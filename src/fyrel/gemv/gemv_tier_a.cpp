// gemv and gemv_transpose, tier A (AVX-512F): eight float64 lanes per ZMM
// register, opmask tails; gemv_transpose carries chunks of 32 columns.

#include "fyrel/gemv/gemv_body.h"
#include "fyrel/gemv/gemv_kernel_table.h"
#include "fyrel/gemv/gemv_transpose_body.h"
#include "fyrel/lanes/lanes_tier_a.h"

namespace fyrel {

constinit const GemvKernels gemv_kernels_tier_a{gemv_body<tier_a::Lanes<double>>,
                                                gemv_transpose_body<tier_a::Lanes<double>>};

}  // namespace fyrel
