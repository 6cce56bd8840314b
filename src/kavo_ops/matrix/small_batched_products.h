#pragma once
// Batched products of small compact matrices (m, n, k <= 16) without the
// per-batch machinery of matmul_into: one call of the tier's small-product
// loop over a range of batches. Each element gets exactly the tiled
// kernel's chain, out = fma(A[i, p], B[p, j], out) over p ascending from a
// zeroed out, so the bits equal a per-batch matmul_into on every tier.

#include <cstdint>

#include "kavo/view/view.h"

namespace kavo_ops {

// Largest m, n and k the register loop takes.
inline constexpr std::uint64_t kSmallBatchedExtent = 16;

// Whether the loop applies: every batch matrix of a, b and out is compact
// row-major inside its storage, out owns its window, and m, n and k lie in
// [2, kSmallBatchedExtent]. (With an extent of 1 an operand is also
// column-major, and matmul_into then takes its dot or row-update kernels,
// which round differently; those products are left to it.)
template <class T>
bool small_batched_products_apply(const kavo::View<T, 3>& a, const kavo::View<T, 3>& b,
                                  const kavo::MutView<T, 3>& out) noexcept;

// out[t] = a[t] * b[t] for batches [first, end); a or b with one batch
// serves every batch. Requires small_batched_products_apply.
template <class T>
void small_batched_products(const kavo::View<T, 3>& a, const kavo::View<T, 3>& b, const kavo::MutView<T, 3>& out,
                            std::uint64_t first, std::uint64_t end) noexcept;

}  // namespace kavo_ops
