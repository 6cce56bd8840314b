// Tier B: reflect_and_sum_body.h compiled with the AVX2 + FMA flags.
#include "kavo_ops/linalg/qr/reflect_and_sum.h"
#include "kavo_ops/linalg/qr/reflect_and_sum_body.h"

namespace kavo_ops {

constinit const ReflectAndSumKernels reflect_and_sum_tier_b{reflect_and_sum_body};

}  // namespace kavo_ops
