// axpy kernels, tier A: out <- fma(alpha, x, out), one rounding per element.
// Four ZMM vectors per iteration (64 float32 or 32 float64 elements), then
// single vectors, then one masked vector for the rest. Ordinary stores: the
// output was just read, so it is in cache anyway.

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "kavo_ops/scalar/tier_a/slice_kernels_tier_a.h"

namespace kavo_ops::tier_a {

void axpy_f32(float alpha, const float* x, float* out, std::size_t len) noexcept {
  constexpr std::size_t lanes = 16;
  const __m512 a = _mm512_set1_ps(alpha);
  std::size_t i = 0;
  for (; i + 4 * lanes <= len; i += 4 * lanes) {
    for (std::size_t k = 0; k < 4; ++k) {
      float* o = out + i + k * lanes;
      _mm512_storeu_ps(o, _mm512_fmadd_ps(a, _mm512_loadu_ps(x + i + k * lanes), _mm512_loadu_ps(o)));
    }
  }
  for (; i + lanes <= len; i += lanes) {
    _mm512_storeu_ps(out + i, _mm512_fmadd_ps(a, _mm512_loadu_ps(x + i), _mm512_loadu_ps(out + i)));
  }
  if (i < len) {
    const auto mask = static_cast<__mmask16>((1u << (len - i)) - 1);
    const __m512 r = _mm512_fmadd_ps(a, _mm512_maskz_loadu_ps(mask, x + i), _mm512_maskz_loadu_ps(mask, out + i));
    _mm512_mask_storeu_ps(out + i, mask, r);
  }
}

void axpy_f64(double alpha, const double* x, double* out, std::size_t len) noexcept {
  constexpr std::size_t lanes = 8;
  const __m512d a = _mm512_set1_pd(alpha);
  std::size_t i = 0;
  for (; i + 4 * lanes <= len; i += 4 * lanes) {
    for (std::size_t k = 0; k < 4; ++k) {
      double* o = out + i + k * lanes;
      _mm512_storeu_pd(o, _mm512_fmadd_pd(a, _mm512_loadu_pd(x + i + k * lanes), _mm512_loadu_pd(o)));
    }
  }
  for (; i + lanes <= len; i += lanes) {
    _mm512_storeu_pd(out + i, _mm512_fmadd_pd(a, _mm512_loadu_pd(x + i), _mm512_loadu_pd(out + i)));
  }
  if (i < len) {
    const auto mask = static_cast<__mmask8>((1u << (len - i)) - 1);
    const __m512d r = _mm512_fmadd_pd(a, _mm512_maskz_loadu_pd(mask, x + i), _mm512_maskz_loadu_pd(mask, out + i));
    _mm512_mask_storeu_pd(out + i, mask, r);
  }
}

}  // namespace kavo_ops::tier_a
