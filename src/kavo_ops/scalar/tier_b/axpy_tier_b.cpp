// axpy kernels, tier B: out <- fma(alpha, x, out), one rounding per element.
// Four YMM vectors per iteration (32 float32 or 16 float64 elements), then
// single vectors, then one masked vector (maskload/maskstore) for the rest.
// Ordinary stores: the output was just read, so it is in cache anyway.

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "kavo_ops/scalar/tier_b/slice_kernels_tier_b.h"

namespace kavo_ops::tier_b {
namespace {

// All-ones in lanes 0 .. count-1 (the sign bit selects a lane in maskload/maskstore).
__m256i first_f32_lanes(std::size_t count) {
  return _mm256_cmpgt_epi32(_mm256_set1_epi32(static_cast<int>(count)),
                            _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
}
__m256i first_f64_lanes(std::size_t count) {
  return _mm256_cmpgt_epi64(_mm256_set1_epi64x(static_cast<long long>(count)),
                            _mm256_setr_epi64x(0, 1, 2, 3));
}

}  // namespace

void axpy_f32(float alpha, const float* x, float* out, std::size_t len) noexcept {
  constexpr std::size_t lanes = 8;
  const __m256 a = _mm256_set1_ps(alpha);
  std::size_t i = 0;
  for (; i + 4 * lanes <= len; i += 4 * lanes) {
    for (std::size_t k = 0; k < 4; ++k) {
      float* o = out + i + k * lanes;
      _mm256_storeu_ps(o, _mm256_fmadd_ps(a, _mm256_loadu_ps(x + i + k * lanes), _mm256_loadu_ps(o)));
    }
  }
  for (; i + lanes <= len; i += lanes) {
    _mm256_storeu_ps(out + i, _mm256_fmadd_ps(a, _mm256_loadu_ps(x + i), _mm256_loadu_ps(out + i)));
  }
  if (i < len) {
    const __m256i mask = first_f32_lanes(len - i);
    const __m256 r = _mm256_fmadd_ps(a, _mm256_maskload_ps(x + i, mask), _mm256_maskload_ps(out + i, mask));
    _mm256_maskstore_ps(out + i, mask, r);
  }
}

void axpy_f64(double alpha, const double* x, double* out, std::size_t len) noexcept {
  constexpr std::size_t lanes = 4;
  const __m256d a = _mm256_set1_pd(alpha);
  std::size_t i = 0;
  for (; i + 4 * lanes <= len; i += 4 * lanes) {
    for (std::size_t k = 0; k < 4; ++k) {
      double* o = out + i + k * lanes;
      _mm256_storeu_pd(o, _mm256_fmadd_pd(a, _mm256_loadu_pd(x + i + k * lanes), _mm256_loadu_pd(o)));
    }
  }
  for (; i + lanes <= len; i += lanes) {
    _mm256_storeu_pd(out + i, _mm256_fmadd_pd(a, _mm256_loadu_pd(x + i), _mm256_loadu_pd(out + i)));
  }
  if (i < len) {
    const __m256i mask = first_f64_lanes(len - i);
    const __m256d r = _mm256_fmadd_pd(a, _mm256_maskload_pd(x + i, mask), _mm256_maskload_pd(out + i, mask));
    _mm256_maskstore_pd(out + i, mask, r);
  }
}

}  // namespace kavo_ops::tier_b
