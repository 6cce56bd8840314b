// Tier C: reflect_rows_body.h compiled for the x86-64 baseline (SSE2).
#include "kavo_ops/linalg/reflect_rows/reflect_rows.h"
#include "kavo_ops/linalg/reflect_rows/reflect_rows_body.h"

namespace kavo_ops {

constinit const ReflectRowsKernels reflect_rows_tier_c{reflect_rows_body<false>, reflect_rows_body<true>};

}  // namespace kavo_ops
