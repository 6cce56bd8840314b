// Matrix-multiply tiles, tier B (AVX2 + FMA, 256-bit YMM registers).
//   float32: 4 x 24 tile = 4 rows x 3 vectors of 8 lanes: 12 accumulators,
//            3 registers for the current row of B, 1 broadcast of A (16 of 16).
//   float64: 4 x 12 tile = 4 rows x 3 vectors of 4 lanes, same register map.
// Narrow tiles use vmaskmov loads and stores, which never fault on masked-off
// lanes.

#include <immintrin.h>

#include "fyrel/gemm/gemm_tiles.h"
#include "fyrel/gemm/tile_kernel_body.h"

namespace fyrel::tier_b {
namespace {

struct VecF32 {
  using Element = float;
  using Reg = __m256;
  using Mask = __m256i;
  static constexpr std::size_t lanes = 8;
  static Mask first_lanes(std::size_t count) {
    return _mm256_cmpgt_epi32(_mm256_set1_epi32(int(count)), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
  }
  static Reg load(const float* p) { return _mm256_loadu_ps(p); }
  static Reg load(const float* p, Mask m) { return _mm256_maskload_ps(p, m); }
  static void store(float* p, Reg v) { _mm256_storeu_ps(p, v); }
  static void store(float* p, Reg v, Mask m) { _mm256_maskstore_ps(p, m, v); }
  static Reg zero() { return _mm256_setzero_ps(); }
  static Reg broadcast(const float* p) { return _mm256_broadcast_ss(p); }
  static Reg fma(Reg x, Reg y, Reg acc) { return _mm256_fmadd_ps(x, y, acc); }
};

struct VecF64 {
  using Element = double;
  using Reg = __m256d;
  using Mask = __m256i;
  static constexpr std::size_t lanes = 4;
  static Mask first_lanes(std::size_t count) {
    return _mm256_cmpgt_epi64(_mm256_set1_epi64x(static_cast<long long>(count)), _mm256_setr_epi64x(0, 1, 2, 3));
  }
  static Reg load(const double* p) { return _mm256_loadu_pd(p); }
  static Reg load(const double* p, Mask m) { return _mm256_maskload_pd(p, m); }
  static void store(double* p, Reg v) { _mm256_storeu_pd(p, v); }
  static void store(double* p, Reg v, Mask m) { _mm256_maskstore_pd(p, m, v); }
  static Reg zero() { return _mm256_setzero_pd(); }
  static Reg broadcast(const double* p) { return _mm256_broadcast_sd(p); }
  static Reg fma(Reg x, Reg y, Reg acc) { return _mm256_fmadd_pd(x, y, acc); }
};

}  // namespace

#include "fyrel/gemm/vector_tier_entry_points.h"

}  // namespace fyrel::tier_b
