#pragma once
// Batched products out[t] = a[t] * b[t] over rank-3 views (batch, rows,
// columns). Batch sizes broadcast one-sidedly: equal, or 1 on either side
// (that operand's single matrix serves every batch); the result has
// max(A, B) batches, or none when either side has none. Anything else is
// ShapeMismatch with both full shapes.
//
// Empty results return at once. Small compact batches (m, n, k in [2, 16])
// run through one register loop (small_batched_products.h), on the executor
// in chunks once the work pays for a second core. Otherwise, from 1024
// batches on, batches run one per index on the executor (the products inside
// then run on their own thread). Either way the error of the lowest failing
// batch is returned, and batches above a failed one are skipped.

#include <cstdint>

#include "kavo/error/array_error.h"
#include "kavo/view/view.h"

namespace kavo_ops {

// Batches of the result, or ShapeMismatch { lhs: a's shape, rhs: b's shape }.
kavo::Expected<std::uint64_t> batched_batch_count(const kavo::Extents<3>& a_shape, const kavo::Extents<3>& b_shape);

// Batches from which the batch driver goes parallel.
inline constexpr std::uint64_t kParallelBatches = 1024;

// `out` is a (batches, m, n) row-major result, zero-filled; inner dimensions
// and the batch count have been checked.
template <class T>
kavo::Expected<void> batched_matmul_into(const kavo::View<T, 3>& a, const kavo::View<T, 3>& b,
                                         const kavo::MutView<T, 3>& out);

}  // namespace kavo_ops
