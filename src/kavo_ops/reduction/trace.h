#pragma once
// trace: sum of the diagonal of a square float64 matrix view, in float64,
// strictly in index order from 0.0: (((0 + a00) + a11) + a22) + ...
// Errors: ShapeMismatch (lhs [rows, cols], rhs [rows, rows]) for a non-square
// view; the view's check_storage error. A 0 x 0 view gives 0.0.

#include "kavo/error/array_error.h"
#include "kavo/view/view.h"

namespace kavo_ops {

kavo::Expected<double> trace(const kavo::View<double, 2>& a);

}  // namespace kavo_ops
