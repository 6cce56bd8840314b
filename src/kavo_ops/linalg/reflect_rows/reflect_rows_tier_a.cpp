// Tier A: reflect_rows_body.h compiled with AVX-512F.
#include "kavo_ops/linalg/reflect_rows/reflect_rows.h"
#include "kavo_ops/linalg/reflect_rows/reflect_rows_body.h"

namespace kavo_ops {

constinit const ReflectRowsKernels reflect_rows_tier_a{reflect_rows_body<false>, reflect_rows_body<true>};

}  // namespace kavo_ops
