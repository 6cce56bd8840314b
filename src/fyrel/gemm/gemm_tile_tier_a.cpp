// Matrix-multiply tiles, tier A (AVX-512F, 512-bit ZMM registers).
//   float32: 6 x 64 tile = 6 rows x 4 vectors of 16 lanes: 24 accumulators,
//            4 registers for the current row of B, 1 broadcast of A (29 of 32).
//   float64: 3 x 24 tile = 3 rows x 3 vectors of 8 lanes: 9 accumulators.
// Narrow tiles use opmask loads and stores, which never fault on masked-off
// lanes.

#include <immintrin.h>

#include "fyrel/gemm/gemm_tiles.h"
#include "fyrel/gemm/tile_kernel_body.h"

namespace fyrel::tier_a {
namespace {

struct VecF32 {
  using Element = float;
  using Reg = __m512;
  using Mask = __mmask16;
  static constexpr std::size_t lanes = 16;
  static Mask first_lanes(std::size_t count) { return static_cast<Mask>((1u << count) - 1u); }
  static Reg load(const float* p) { return _mm512_loadu_ps(p); }
  static Reg load(const float* p, Mask m) { return _mm512_maskz_loadu_ps(m, p); }
  static void store(float* p, Reg v) { _mm512_storeu_ps(p, v); }
  static void store(float* p, Reg v, Mask m) { _mm512_mask_storeu_ps(p, m, v); }
  static Reg zero() { return _mm512_setzero_ps(); }
  static Reg broadcast(const float* p) { return _mm512_set1_ps(*p); }
  static Reg fma(Reg x, Reg y, Reg acc) { return _mm512_fmadd_ps(x, y, acc); }
};

struct VecF64 {
  using Element = double;
  using Reg = __m512d;
  using Mask = __mmask8;
  static constexpr std::size_t lanes = 8;
  static Mask first_lanes(std::size_t count) { return static_cast<Mask>((1u << count) - 1u); }
  static Reg load(const double* p) { return _mm512_loadu_pd(p); }
  static Reg load(const double* p, Mask m) { return _mm512_maskz_loadu_pd(m, p); }
  static void store(double* p, Reg v) { _mm512_storeu_pd(p, v); }
  static void store(double* p, Reg v, Mask m) { _mm512_mask_storeu_pd(p, m, v); }
  static Reg zero() { return _mm512_setzero_pd(); }
  static Reg broadcast(const double* p) { return _mm512_set1_pd(*p); }
  static Reg fma(Reg x, Reg y, Reg acc) { return _mm512_fmadd_pd(x, y, acc); }
};

}  // namespace

#include "fyrel/gemm/vector_tier_entry_points.h"

}  // namespace fyrel::tier_a
