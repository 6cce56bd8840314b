// Sum kernel, tier C: W = 4 float32 lanes per SSE2 vector.
//   acc0..acc3 start at zero and take blocks of 16 elements (acc k gets the
//     k-th 4 elements of each block). Combined as S = (acc1 + acc0) + (acc2 +
//     acc3); S takes the remaining whole 4-blocks one at a time.
//   result = ((x0 + x1) + x2) + (((s0 + s1) + s2) + s3), where x0.. are the
//     last len mod 4 elements.

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "kavo_ops/scalar/tier_c/slice_kernels_tier_c.h"

namespace kavo_ops::tier_c {

float sum_f32(const float* x, std::size_t len) noexcept {
  constexpr std::size_t lanes = 4;
  __m128 acc0 = _mm_setzero_ps();
  __m128 acc1 = _mm_setzero_ps();
  __m128 acc2 = _mm_setzero_ps();
  __m128 acc3 = _mm_setzero_ps();
  std::size_t i = 0;
  for (; i + 4 * lanes <= len; i += 4 * lanes) {
    acc0 = _mm_add_ps(acc0, _mm_loadu_ps(x + i));
    acc1 = _mm_add_ps(acc1, _mm_loadu_ps(x + i + lanes));
    acc2 = _mm_add_ps(acc2, _mm_loadu_ps(x + i + 2 * lanes));
    acc3 = _mm_add_ps(acc3, _mm_loadu_ps(x + i + 3 * lanes));
  }
  __m128 s = _mm_add_ps(_mm_add_ps(acc1, acc0), _mm_add_ps(acc2, acc3));
  for (; i + lanes <= len; i += lanes) s = _mm_add_ps(s, _mm_loadu_ps(x + i));
  alignas(16) float lane[4];
  _mm_store_ps(lane, s);
  float result = ((lane[0] + lane[1]) + lane[2]) + lane[3];
  if (i < len) {
    float tail = x[i];
    for (std::size_t j = i + 1; j < len; ++j) tail = tail + x[j];
    result = tail + result;
  }
  return result;
}

}  // namespace kavo_ops::tier_c
