// The entry points of a vector tier's tile table, included once at the end
// of that tier's source, inside its namespace (fyrel::tier_a, tier_b) and
// after its VecF32 and VecF64 traits: each tier gets its own definitions of
// the names gemm_tiles.h declares, compiled with its own instruction set.

void gemm_tile_f32(std::size_t k, const float* a, std::size_t lda, const float* b, std::size_t ldb, float* c,
                   std::size_t ldc, std::size_t rows, std::size_t cols) noexcept {
  TileKernel<VecF32, f32_nr / VecF32::lanes>::tile<f32_mr>(k, a, lda, b, ldb, c, ldc, rows, cols);
}

void gemm_tile_f64(std::size_t k, const double* a, std::size_t lda, const double* b, std::size_t ldb, double* c,
                   std::size_t ldc, std::size_t rows, std::size_t cols) noexcept {
  TileKernel<VecF64, f64_nr / VecF64::lanes>::tile<f64_mr>(k, a, lda, b, ldb, c, ldc, rows, cols);
}

void gemm_small_products_f32(std::size_t count, const float* a, std::size_t a_step, const float* b,
                             std::size_t b_step, float* c, std::size_t m, std::size_t n, std::size_t k) noexcept {
  TileKernel<VecF32, f32_nr / VecF32::lanes>::small_products<f32_mr>(count, a, a_step, b, b_step, c, m, n, k);
}

void gemm_small_products_f64(std::size_t count, const double* a, std::size_t a_step, const double* b,
                             std::size_t b_step, double* c, std::size_t m, std::size_t n, std::size_t k) noexcept {
  TileKernel<VecF64, f64_nr / VecF64::lanes>::small_products<f64_mr>(count, a, a_step, b, b_step, c, m, n, k);
}
