#pragma once
// out[i, j] = op(a[i, j], b[i, j]) over three matrix views of one shape.
//
// Preconditions: a and b already carry the output's shape (broadcast with
// stride 0 on repeated axes) and fit their storages.
//
// Paths:
//  - contiguous fast path: all three share shape and strides, that layout is
//    dense in either order and every window fits; one slice-kernel call, or
//    5461-element chunks over the executor for maps larger than the
//    last-level cache. The output rules are not re-run: a dense layout that
//    fits is injective and the Python layer never passes marked views.
//  - strided path: checks both inputs and validate_output() before any
//    write, then walks rows (every column stride within a cache line) or
//    T x T tiles (some column stride spans a line, e.g. a transposed
//    operand), in parallel by rows or bands of T rows when large. Tasks write
//    disjoint elements because the output was proved injective.

#include "kavo/error/array_error.h"
#include "kavo/view/view.h"
#include "kavo_ops/map/binary_op.h"
#include "kavo_ops/map/map_policy.h"

namespace kavo_ops {

kavo::Expected<void> binary_map(const kavo::View<float, 2>& a, const kavo::View<float, 2>& b,
                                const kavo::MutView<float, 2>& out, BinaryOp op, const char* operation);

// The same with explicit size rules, so tests can drive both sides of each.
kavo::Expected<void> binary_map(const kavo::View<float, 2>& a, const kavo::View<float, 2>& b,
                                const kavo::MutView<float, 2>& out, BinaryOp op, const char* operation,
                                const MapPolicy& policy);

}  // namespace kavo_ops
