#pragma once
// One table of matrix-multiply tile kernels per processor tier and element
// type: the drivers (gemm.cpp, the row-block product of kavo_ops) never name
// an instruction set, they look the tier's entry up here.
//
// A tile kernel updates a rows x cols tile of C (rows <= mr, cols <= nr):
//   C[i, j] = fma(A[i, p], B[p, j], C[i, j])   for p = 0, 1, ..., k - 1
// A's row i starts at a + i * lda with unit column stride; B's row p starts
// at b + p * ldb with unit column stride and holds at least `cols` elements.
// Each element is one chain of fused multiply-adds in ascending p, starting
// from what C holds, so a product split over k (store the tile, load it
// again), over rows or over columns gives the same bits as the plain loop,
// on every tier. Columns beyond `cols` are neither read nor written.

#include <cstddef>

#include "platform/processor_tier.h"

namespace fyrel {

template <class T>
struct GemmKernels {
  using Tile = void (*)(std::size_t k, const T* a, std::size_t lda, const T* b, std::size_t ldb, T* c,
                        std::size_t ldc, std::size_t rows, std::size_t cols) noexcept;
  std::size_t mr;  // rows of the register tile
  std::size_t nr;  // columns of the register tile (vector registers per row x lanes)
  std::size_t kc;  // depth of one k block (C tiles are stored and reloaded between blocks)
  Tile tile;
  // `count` compact products c[t] = a[t] * b[t] (m x k times k x n, rows
  // unit-stride and adjacent; a and b advance by a_step and b_step elements
  // per product, c by m * n), each element the tile's chain from +0 over p
  // ascending: the bits of `tile` over a zeroed C, without a call per tile.
  // For small products, where the per-call work would dominate.
  using SmallProducts = void (*)(std::size_t count, const T* a, std::size_t a_step, const T* b, std::size_t b_step,
                                 T* c, std::size_t m, std::size_t n, std::size_t k) noexcept;
  SmallProducts small_products;
};

template <class T>
const GemmKernels<T>& gemm_kernels(platform::Tier tier) noexcept;

// The table of platform::active_tier(), read afresh on every call.
template <class T>
const GemmKernels<T>& active_gemm_kernels() noexcept {
  return gemm_kernels<T>(platform::active_tier());
}

}  // namespace fyrel
