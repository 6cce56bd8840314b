// Tier B: reflect_rows_body.h compiled with AVX2 + FMA.
#include "kavo_ops/linalg/reflect_rows/reflect_rows.h"
#include "kavo_ops/linalg/reflect_rows/reflect_rows_body.h"

namespace kavo_ops {

constinit const ReflectRowsKernels reflect_rows_tier_b{reflect_rows_body<false>, reflect_rows_body<true>};

}  // namespace kavo_ops
