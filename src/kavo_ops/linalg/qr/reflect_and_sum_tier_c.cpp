// Tier C: reflect_and_sum_body.h compiled with the x86-64 baseline flags.
#include "kavo_ops/linalg/qr/reflect_and_sum.h"
#include "kavo_ops/linalg/qr/reflect_and_sum_body.h"

namespace kavo_ops {

constinit const ReflectAndSumKernels reflect_and_sum_tier_c{reflect_and_sum_body};

}  // namespace kavo_ops
