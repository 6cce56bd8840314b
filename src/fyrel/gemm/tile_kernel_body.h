#pragma once
// The register-tiled loop shared by the vector tiers, over a vector traits
// type V (register type, lanes, plain and masked loads and stores, broadcast,
// fused multiply-add). Include it only from a tier source: everything here
// has internal linkage, so each tier gets its own copy compiled with its own
// instruction set.
//
// Register use for an R x (NV * lanes) tile: R * NV accumulators, NV vectors
// of the current B row, one broadcast of A. Full tiles use plain loads and
// stores; a narrower tile uses only as many vectors as hold columns and masks
// every load and store of B and C by column, so nothing past `cols` is
// touched.

#include <cstddef>

namespace fyrel {
namespace {

template <class V, int NV>
struct TileKernel {
  using T = typename V::Element;
  using Reg = typename V::Reg;
  using Mask = typename V::Mask;
  static constexpr std::size_t lanes = V::lanes;

  // FromZero: the accumulators start at +0 instead of C's values, the bits
  // of a tile over a zeroed C (small products overwrite without zeroing C).
  template <int R, bool Full, bool FromZero = false>
  static void run(std::size_t k, const T* a, std::size_t lda, const T* b, std::size_t ldb, T* c, std::size_t ldc,
                  std::size_t cols) noexcept {
    Mask masks[NV];
    if constexpr (!Full) {
      for (int v = 0; v < NV; ++v) {
        const std::size_t first = std::size_t(v) * lanes;
        masks[v] = V::first_lanes(cols > first ? (cols - first < lanes ? cols - first : lanes) : 0);
      }
    }
    Reg acc[R][NV];
#pragma GCC unroll 8
    for (int i = 0; i < R; ++i) {
#pragma GCC unroll 4
      for (int v = 0; v < NV; ++v) {
        T* at = c + i * ldc + v * lanes;
        if constexpr (FromZero) {
          acc[i][v] = V::zero();
        } else if constexpr (Full) {
          acc[i][v] = V::load(at);
        } else {
          acc[i][v] = V::load(at, masks[v]);
        }
      }
    }
    const T* a_rows[R];
    for (int i = 0; i < R; ++i) a_rows[i] = a + i * lda;
#pragma GCC unroll 2
    for (std::size_t p = 0; p < k; ++p) {
      Reg row[NV];
#pragma GCC unroll 4
      for (int v = 0; v < NV; ++v) {
        if constexpr (Full) {
          row[v] = V::load(b + v * lanes);
        } else {
          row[v] = V::load(b + v * lanes, masks[v]);
        }
      }
#pragma GCC unroll 8
      for (int i = 0; i < R; ++i) {
        const Reg x = V::broadcast(a_rows[i] + p);
#pragma GCC unroll 4
        for (int v = 0; v < NV; ++v) acc[i][v] = V::fma(x, row[v], acc[i][v]);
      }
      b += ldb;
    }
#pragma GCC unroll 8
    for (int i = 0; i < R; ++i) {
#pragma GCC unroll 4
      for (int v = 0; v < NV; ++v) {
        T* at = c + i * ldc + v * lanes;
        if constexpr (Full) {
          V::store(at, acc[i][v]);
        } else {
          V::store(at, acc[i][v], masks[v]);
        }
      }
    }
  }

  template <int R, bool FromZero = false>
  static void rows_of(std::size_t k, const T* a, std::size_t lda, const T* b, std::size_t ldb, T* c,
                      std::size_t ldc, std::size_t cols) noexcept {
    if (cols == NV * lanes) return run<R, true, FromZero>(k, a, lda, b, ldb, c, ldc, cols);
    // A narrow tile (the last strip) runs only the vectors that hold columns.
    if constexpr (NV > 1) {
      if (cols <= (NV - 1) * lanes) {
        return TileKernel<V, NV - 1>::template rows_of<R, FromZero>(k, a, lda, b, ldb, c, ldc, cols);
      }
    }
    run<R, false, FromZero>(k, a, lda, b, ldb, c, ldc, cols);
  }

  // Dispatches on the row count (1 .. MR) so each count has its own fully
  // unrolled loop with fewer broadcasts.
  template <int MR, bool FromZero = false>
  static void tile(std::size_t k, const T* a, std::size_t lda, const T* b, std::size_t ldb, T* c, std::size_t ldc,
                   std::size_t rows, std::size_t cols) noexcept {
    if (rows == 0 || cols == 0) return;
    if (rows >= MR) return rows_of<MR, FromZero>(k, a, lda, b, ldb, c, ldc, cols);
    if constexpr (MR > 1) return tile<MR - 1, FromZero>(k, a, lda, b, ldb, c, ldc, rows, cols);
  }

  // `count` compact products c[t] = a[t] * b[t] (m x k times k x n; a and b
  // advance by a_step and b_step elements per product, 0 for one shared
  // matrix), each in tiles of MR rows that start from zero: the bits of the
  // tile kernel over a zeroed C, without the call per tile.
  template <int MR>
  static void small_products(std::size_t count, const T* a, std::size_t a_step, const T* b, std::size_t b_step, T* c,
                             std::size_t m, std::size_t n, std::size_t k) noexcept {
    for (std::size_t t = 0; t < count; ++t, a += a_step, b += b_step, c += m * n) {
      for (std::size_t i = 0; i < m; i += MR) {
        for (std::size_t j = 0; j < n; j += NV * lanes) {
          const std::size_t cols = n - j < NV * lanes ? n - j : NV * lanes;
          tile<MR, true>(k, a + i * k, k, b + j, n, c + i * n + j, n, m - i < MR ? m - i : MR, cols);
        }
      }
    }
  }
};

}  // namespace
}  // namespace fyrel
