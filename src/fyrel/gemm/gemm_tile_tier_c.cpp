// Matrix-multiply tiles, tier C (x86-64 baseline): scalar accumulators, one
// std::fma per term, so the bits match the vector tiers exactly.
//   float32: 3 x 12 tile; float64: 3 x 6 tile.

#include <cmath>

#include "fyrel/gemm/gemm_tiles.h"

namespace fyrel::tier_c {
namespace {

template <class T, std::size_t NR>
void tile(std::size_t k, const T* a, std::size_t lda, const T* b, std::size_t ldb, T* c, std::size_t ldc,
          std::size_t rows, std::size_t cols) noexcept {
  for (std::size_t i = 0; i < rows; ++i) {
    T acc[NR];
    for (std::size_t j = 0; j < cols; ++j) acc[j] = c[i * ldc + j];
    const T* a_row = a + i * lda;
    for (std::size_t p = 0; p < k; ++p) {
      const T x = a_row[p];
      const T* b_row = b + p * ldb;
      for (std::size_t j = 0; j < cols; ++j) acc[j] = std::fma(x, b_row[j], acc[j]);
    }
    for (std::size_t j = 0; j < cols; ++j) c[i * ldc + j] = acc[j];
  }
}

template <class T, std::size_t MR, std::size_t NR>
void small_products(std::size_t count, const T* a, std::size_t a_step, const T* b, std::size_t b_step, T* c,
                    std::size_t m, std::size_t n, std::size_t k) noexcept {
  for (std::size_t t = 0; t < count; ++t, a += a_step, b += b_step, c += m * n) {
    // Zero first, then the tiles chain onto it: the bits of any tiling.
    for (std::size_t e = 0; e < m * n; ++e) c[e] = T(0);
    for (std::size_t i = 0; i < m; i += MR) {
      for (std::size_t j = 0; j < n; j += NR) {
        tile<T, NR>(k, a + i * k, k, b + j, n, c + i * n + j, n, m - i < MR ? m - i : MR, n - j < NR ? n - j : NR);
      }
    }
  }
}

}  // namespace

void gemm_small_products_f32(std::size_t count, const float* a, std::size_t a_step, const float* b,
                             std::size_t b_step, float* c, std::size_t m, std::size_t n, std::size_t k) noexcept {
  small_products<float, f32_mr, f32_nr>(count, a, a_step, b, b_step, c, m, n, k);
}

void gemm_small_products_f64(std::size_t count, const double* a, std::size_t a_step, const double* b,
                             std::size_t b_step, double* c, std::size_t m, std::size_t n, std::size_t k) noexcept {
  small_products<double, f64_mr, f64_nr>(count, a, a_step, b, b_step, c, m, n, k);
}

void gemm_tile_f32(std::size_t k, const float* a, std::size_t lda, const float* b, std::size_t ldb, float* c,
                   std::size_t ldc, std::size_t rows, std::size_t cols) noexcept {
  tile<float, f32_nr>(k, a, lda, b, ldb, c, ldc, rows, cols);
}

void gemm_tile_f64(std::size_t k, const double* a, std::size_t lda, const double* b, std::size_t ldb, double* c,
                   std::size_t ldc, std::size_t rows, std::size_t cols) noexcept {
  tile<double, f64_nr>(k, a, lda, b, ldb, c, ldc, rows, cols);
}

}  // namespace fyrel::tier_c
