#pragma once
// dot: inner product of two float32 vector views, accumulated in float32.
//   Both views unit-stride (or of length 1) with runs inside their storages:
//     dot_slice of the two runs (the active tier's summation order).
//   Otherwise: result = result + a[i] * b[i] for i = 0 .. n-1 from 0, the
//     product and the sum each rounded.
// Errors: ShapeMismatch (lhs [len a], rhs [len b]) for different lengths,
// then the views' check_storage errors. Empty vectors give 0.

#include "kavo/error/array_error.h"
#include "kavo/view/view.h"

namespace kavo_ops {

kavo::Expected<float> dot(const kavo::View<float, 1>& a, const kavo::View<float, 1>& b);

}  // namespace kavo_ops
