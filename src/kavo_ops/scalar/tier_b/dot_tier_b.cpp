// Dot kernels, tier B. L = 8 lanes (float32) or 4 lanes (float64) per YMM.
//   acc0..acc3: four independent accumulators over blocks of 4*L elements;
//     the first block is plain products, later blocks are fused in, which
//     hides the FMA latency. Combined lane-wise ((acc0+acc1)+acc2)+acc3 = S.
//   S then takes the remaining whole L-blocks by FMA (below 4*L elements,
//     S starts as the plain product of the first L-block).
//   S is reduced by adding the upper half of its lanes to the lower half
//     until one lane is left (8 -> 4 -> 2 -> 1).
//   The last len mod L products (rounded once, missing lanes 0) are reduced
//     the same way and added last.

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "kavo_ops/scalar/tier_b/slice_kernels_tier_b.h"

namespace kavo_ops::tier_b {
namespace {

float halving_sum(__m256 v) {
  __m128 v4 = _mm_add_ps(_mm256_castps256_ps128(v), _mm256_extractf128_ps(v, 1));
  v4 = _mm_add_ps(v4, _mm_movehl_ps(v4, v4));                   // lanes 0,1 += lanes 2,3
  return _mm_cvtss_f32(_mm_add_ss(v4, _mm_shuffle_ps(v4, v4, 1)));  // lane 0 += lane 1
}

double halving_sum(__m256d v) {
  const __m128d v2 = _mm_add_pd(_mm256_castpd256_pd128(v), _mm256_extractf128_pd(v, 1));
  return _mm_cvtsd_f64(_mm_add_sd(v2, _mm_unpackhi_pd(v2, v2)));
}

// All-ones in lanes 0 .. count-1 (the sign bit selects a lane in maskload).
__m256i first_f32_lanes(std::size_t count) {
  return _mm256_cmpgt_epi32(_mm256_set1_epi32(static_cast<int>(count)),
                            _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
}
__m256i first_f64_lanes(std::size_t count) {
  return _mm256_cmpgt_epi64(_mm256_set1_epi64x(static_cast<long long>(count)),
                            _mm256_setr_epi64x(0, 1, 2, 3));
}

}  // namespace

float dot_f32(const float* a, const float* b, std::size_t len) noexcept {
  constexpr std::size_t lanes = 8;
  std::size_t i = 0;
  __m256 s = _mm256_setzero_ps();
  if (len >= 4 * lanes) {
    __m256 acc0 = _mm256_mul_ps(_mm256_loadu_ps(a), _mm256_loadu_ps(b));
    __m256 acc1 = _mm256_mul_ps(_mm256_loadu_ps(a + lanes), _mm256_loadu_ps(b + lanes));
    __m256 acc2 = _mm256_mul_ps(_mm256_loadu_ps(a + 2 * lanes), _mm256_loadu_ps(b + 2 * lanes));
    __m256 acc3 = _mm256_mul_ps(_mm256_loadu_ps(a + 3 * lanes), _mm256_loadu_ps(b + 3 * lanes));
    for (i = 4 * lanes; i + 4 * lanes <= len; i += 4 * lanes) {
      acc0 = _mm256_fmadd_ps(_mm256_loadu_ps(a + i), _mm256_loadu_ps(b + i), acc0);
      acc1 = _mm256_fmadd_ps(_mm256_loadu_ps(a + i + lanes), _mm256_loadu_ps(b + i + lanes), acc1);
      acc2 = _mm256_fmadd_ps(_mm256_loadu_ps(a + i + 2 * lanes), _mm256_loadu_ps(b + i + 2 * lanes), acc2);
      acc3 = _mm256_fmadd_ps(_mm256_loadu_ps(a + i + 3 * lanes), _mm256_loadu_ps(b + i + 3 * lanes), acc3);
    }
    s = _mm256_add_ps(_mm256_add_ps(_mm256_add_ps(acc0, acc1), acc2), acc3);
  } else if (len >= lanes) {
    s = _mm256_mul_ps(_mm256_loadu_ps(a), _mm256_loadu_ps(b));
    i = lanes;
  }
  for (; i + lanes <= len; i += lanes) s = _mm256_fmadd_ps(_mm256_loadu_ps(a + i), _mm256_loadu_ps(b + i), s);
  float result = halving_sum(s);
  if (i < len) {
    const __m256i mask = first_f32_lanes(len - i);
    result += halving_sum(_mm256_mul_ps(_mm256_maskload_ps(a + i, mask), _mm256_maskload_ps(b + i, mask)));
  }
  return result;
}

double dot_f64(const double* a, const double* b, std::size_t len) noexcept {
  constexpr std::size_t lanes = 4;
  std::size_t i = 0;
  __m256d s = _mm256_setzero_pd();
  if (len >= 4 * lanes) {
    __m256d acc0 = _mm256_mul_pd(_mm256_loadu_pd(a), _mm256_loadu_pd(b));
    __m256d acc1 = _mm256_mul_pd(_mm256_loadu_pd(a + lanes), _mm256_loadu_pd(b + lanes));
    __m256d acc2 = _mm256_mul_pd(_mm256_loadu_pd(a + 2 * lanes), _mm256_loadu_pd(b + 2 * lanes));
    __m256d acc3 = _mm256_mul_pd(_mm256_loadu_pd(a + 3 * lanes), _mm256_loadu_pd(b + 3 * lanes));
    for (i = 4 * lanes; i + 4 * lanes <= len; i += 4 * lanes) {
      acc0 = _mm256_fmadd_pd(_mm256_loadu_pd(a + i), _mm256_loadu_pd(b + i), acc0);
      acc1 = _mm256_fmadd_pd(_mm256_loadu_pd(a + i + lanes), _mm256_loadu_pd(b + i + lanes), acc1);
      acc2 = _mm256_fmadd_pd(_mm256_loadu_pd(a + i + 2 * lanes), _mm256_loadu_pd(b + i + 2 * lanes), acc2);
      acc3 = _mm256_fmadd_pd(_mm256_loadu_pd(a + i + 3 * lanes), _mm256_loadu_pd(b + i + 3 * lanes), acc3);
    }
    s = _mm256_add_pd(_mm256_add_pd(_mm256_add_pd(acc0, acc1), acc2), acc3);
  } else if (len >= lanes) {
    s = _mm256_mul_pd(_mm256_loadu_pd(a), _mm256_loadu_pd(b));
    i = lanes;
  }
  for (; i + lanes <= len; i += lanes) s = _mm256_fmadd_pd(_mm256_loadu_pd(a + i), _mm256_loadu_pd(b + i), s);
  double result = halving_sum(s);
  if (i < len) {
    const __m256i mask = first_f64_lanes(len - i);
    result += halving_sum(_mm256_mul_pd(_mm256_maskload_pd(a + i, mask), _mm256_maskload_pd(b + i, mask)));
  }
  return result;
}

}  // namespace kavo_ops::tier_b

namespace kavo_ops::tier_b {
namespace {

// dot_f64's exact steps for G dots sharing the operand `a`: each dot keeps
// its own accumulators, so every result has the lone dot's bits, while each
// vector of `a` is loaded once for all G. Three dots use 12 of the 16 YMM
// registers for accumulators.
template <std::size_t G>
void dot_group(const double* a, const double* const* b, std::size_t len, double* out) noexcept {
  constexpr std::size_t lanes = 4;
  std::size_t i = 0;
  __m256d s[G];
  for (std::size_t g = 0; g < G; ++g) s[g] = _mm256_setzero_pd();
  if (len >= 4 * lanes) {
    __m256d acc[G][4];
    for (std::size_t q = 0; q < 4; ++q) {
      const __m256d av = _mm256_loadu_pd(a + q * lanes);
      for (std::size_t g = 0; g < G; ++g) acc[g][q] = _mm256_mul_pd(av, _mm256_loadu_pd(b[g] + q * lanes));
    }
    for (i = 4 * lanes; i + 4 * lanes <= len; i += 4 * lanes) {
      for (std::size_t q = 0; q < 4; ++q) {
        const __m256d av = _mm256_loadu_pd(a + i + q * lanes);
        for (std::size_t g = 0; g < G; ++g) {
          acc[g][q] = _mm256_fmadd_pd(av, _mm256_loadu_pd(b[g] + i + q * lanes), acc[g][q]);
        }
      }
    }
    for (std::size_t g = 0; g < G; ++g) {
      s[g] = _mm256_add_pd(_mm256_add_pd(_mm256_add_pd(acc[g][0], acc[g][1]), acc[g][2]), acc[g][3]);
    }
  } else if (len >= lanes) {
    const __m256d av = _mm256_loadu_pd(a);
    for (std::size_t g = 0; g < G; ++g) s[g] = _mm256_mul_pd(av, _mm256_loadu_pd(b[g]));
    i = lanes;
  }
  for (; i + lanes <= len; i += lanes) {
    const __m256d av = _mm256_loadu_pd(a + i);
    for (std::size_t g = 0; g < G; ++g) s[g] = _mm256_fmadd_pd(av, _mm256_loadu_pd(b[g] + i), s[g]);
  }
  if (i < len) {
    const __m256i mask = first_f64_lanes(len - i);
    const __m256d av = _mm256_maskload_pd(a + i, mask);
    for (std::size_t g = 0; g < G; ++g) {
      out[g] = halving_sum(s[g]) + halving_sum(_mm256_mul_pd(av, _mm256_maskload_pd(b[g] + i, mask)));
    }
  } else {
    for (std::size_t g = 0; g < G; ++g) out[g] = halving_sum(s[g]);
  }
}

}  // namespace

void dot_group_f64(const double* shared, const double* const* others, std::size_t count, std::size_t len,
                   double* out) noexcept {
  std::size_t g = 0;
  for (; g + 3 <= count; g += 3) dot_group<3>(shared, others + g, len, out + g);
  if (count - g == 2) dot_group<2>(shared, others + g, len, out + g);
  if (count - g == 1) dot_group<1>(shared, others + g, len, out + g);
}

}  // namespace kavo_ops::tier_b
