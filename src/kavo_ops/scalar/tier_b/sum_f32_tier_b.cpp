// Sum kernel, tier B: W = 8 float32 lanes per YMM.
//   acc0..acc3 start at zero and take blocks of 4*W elements (acc k gets the
//     k-th W elements of each block); four independent chains hide the add
//     latency. Combined as S = (acc3 + acc2) + (acc1 + acc0).
//   S takes the remaining whole W-blocks one at a time, then is reduced by
//     adding the upper half of its lanes to the lower half (8 -> 4 -> 2 ->
//     1); the last len mod W elements, loaded under a mask with the missing
//     lanes 0, are reduced the same way and added last.

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "kavo_ops/scalar/tier_b/float_ops_tier_b.h"
#include "kavo_ops/scalar/tier_b/slice_kernels_tier_b.h"

namespace kavo_ops::tier_b {
namespace {

float halving_sum(__m256 v) {
  __m128 v4 = _mm_add_ps(_mm256_castps256_ps128(v), _mm256_extractf128_ps(v, 1));
  v4 = _mm_add_ps(v4, _mm_movehl_ps(v4, v4));                   // lanes 0,1 += lanes 2,3
  return _mm_cvtss_f32(_mm_add_ss(v4, _mm_shuffle_ps(v4, v4, 1)));  // lane 0 += lane 1
}

}  // namespace

float sum_f32(const float* x, std::size_t len) noexcept {
  constexpr std::size_t lanes = 8;
  __m256 acc0 = _mm256_setzero_ps();
  __m256 acc1 = _mm256_setzero_ps();
  __m256 acc2 = _mm256_setzero_ps();
  __m256 acc3 = _mm256_setzero_ps();
  std::size_t i = 0;
  for (; i + 4 * lanes <= len; i += 4 * lanes) {
    acc0 = _mm256_add_ps(acc0, _mm256_loadu_ps(x + i));
    acc1 = _mm256_add_ps(acc1, _mm256_loadu_ps(x + i + lanes));
    acc2 = _mm256_add_ps(acc2, _mm256_loadu_ps(x + i + 2 * lanes));
    acc3 = _mm256_add_ps(acc3, _mm256_loadu_ps(x + i + 3 * lanes));
  }
  __m256 s = _mm256_add_ps(_mm256_add_ps(acc3, acc2), _mm256_add_ps(acc1, acc0));
  for (; i + lanes <= len; i += lanes) s = _mm256_add_ps(s, _mm256_loadu_ps(x + i));
  float result = halving_sum(s);
  if (i < len) result += halving_sum(_mm256_maskload_ps(x + i, first_lanes_mask(len - i)));
  return result;
}

}  // namespace kavo_ops::tier_b
