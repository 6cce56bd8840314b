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

}  // namespace

void gemm_tile_f32(std::size_t k, const float* a, std::size_t lda, const float* b, std::size_t ldb, float* c,
                   std::size_t ldc, std::size_t rows, std::size_t cols) noexcept {
  tile<float, f32_nr>(k, a, lda, b, ldb, c, ldc, rows, cols);
}

void gemm_tile_f64(std::size_t k, const double* a, std::size_t lda, const double* b, std::size_t ldb, double* c,
                   std::size_t ldc, std::size_t rows, std::size_t cols) noexcept {
  tile<double, f64_nr>(k, a, lda, b, ldb, c, ldc, rows, cols);
}

}  // namespace fyrel::tier_c
