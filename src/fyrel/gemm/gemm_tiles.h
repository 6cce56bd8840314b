#pragma once
// The tile kernels of each processor tier (see gemm_kernels.h for the
// contract). Only the tier sources define them.

#include <cstddef>

#define FYREL_GEMM_TILE(name, T)                                                                                   \
  void name(std::size_t k, const T* a, std::size_t lda, const T* b, std::size_t ldb, T* c, std::size_t ldc,       \
            std::size_t rows, std::size_t cols) noexcept

#define FYREL_GEMM_SMALL_PRODUCTS(name, T)                                                                          \
  void name(std::size_t count, const T* a, std::size_t a_step, const T* b, std::size_t b_step, T* c, std::size_t m, \
            std::size_t n, std::size_t k) noexcept

namespace fyrel {

namespace tier_a {
inline constexpr std::size_t f32_mr = 6, f32_nr = 64, f64_mr = 3, f64_nr = 24;
FYREL_GEMM_TILE(gemm_tile_f32, float);
FYREL_GEMM_TILE(gemm_tile_f64, double);
FYREL_GEMM_SMALL_PRODUCTS(gemm_small_products_f32, float);
FYREL_GEMM_SMALL_PRODUCTS(gemm_small_products_f64, double);
}  // namespace tier_a

namespace tier_b {
// Four rows, not three: with 16 YMM registers, 12 accumulators keep both FMA
// pipes busy through the 4-cycle latency where 9 stalled (measured 12-18 %
// faster on Zen 3 with bench_gemm). Each element's chain is unchanged.
inline constexpr std::size_t f32_mr = 4, f32_nr = 24, f64_mr = 4, f64_nr = 12;
FYREL_GEMM_TILE(gemm_tile_f32, float);
FYREL_GEMM_TILE(gemm_tile_f64, double);
FYREL_GEMM_SMALL_PRODUCTS(gemm_small_products_f32, float);
FYREL_GEMM_SMALL_PRODUCTS(gemm_small_products_f64, double);
}  // namespace tier_b

namespace tier_c {
inline constexpr std::size_t f32_mr = 3, f32_nr = 12, f64_mr = 3, f64_nr = 6;
FYREL_GEMM_TILE(gemm_tile_f32, float);
FYREL_GEMM_TILE(gemm_tile_f64, double);
FYREL_GEMM_SMALL_PRODUCTS(gemm_small_products_f32, float);
FYREL_GEMM_SMALL_PRODUCTS(gemm_small_products_f64, double);
}  // namespace tier_c

}  // namespace fyrel

#undef FYREL_GEMM_TILE
#undef FYREL_GEMM_SMALL_PRODUCTS
