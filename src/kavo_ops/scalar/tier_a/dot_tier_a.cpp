// Dot kernels, tier A. L = 16 lanes (float32) or 8 lanes (float64) per ZMM.
//   acc0..acc3: four independent accumulators over blocks of 4*L elements;
//     the first block is plain products, later blocks are fused in, which
//     hides the FMA latency. Combined lane-wise ((acc0+acc1)+acc2)+acc3 = S.
//   S then takes the remaining whole L-blocks by FMA (below 4*L elements,
//     S starts as the plain product of the first L-block).
//   S is reduced by adding the upper half of its lanes to the lower half
//     until one lane is left (16 -> 8 -> 4 -> 2 -> 1).
//   The last len mod L products (rounded once, missing lanes 0) are reduced
//     the same way and added last.

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "kavo_ops/scalar/tier_a/slice_kernels_tier_a.h"

namespace kavo_ops::tier_a {
namespace {

// The zero-masked extract avoids GCC 12's false "uninitialized" warning on
// the unmasked form (and on the 512->256 cast built from it).
float halving_sum(__m512 v) {
  const __m256 lower = _mm256_castpd_ps(_mm512_maskz_extractf64x4_pd(0xF, _mm512_castps_pd(v), 0));
  const __m256 upper = _mm256_castpd_ps(_mm512_maskz_extractf64x4_pd(0xF, _mm512_castps_pd(v), 1));
  const __m256 v8 = _mm256_add_ps(lower, upper);
  __m128 v4 = _mm_add_ps(_mm256_castps256_ps128(v8), _mm256_extractf128_ps(v8, 1));
  v4 = _mm_add_ps(v4, _mm_movehl_ps(v4, v4));                   // lanes 0,1 += lanes 2,3
  return _mm_cvtss_f32(_mm_add_ss(v4, _mm_shuffle_ps(v4, v4, 1)));  // lane 0 += lane 1
}

double halving_sum(__m512d v) {
  const __m256d v4 = _mm256_add_pd(_mm512_maskz_extractf64x4_pd(0xF, v, 0), _mm512_maskz_extractf64x4_pd(0xF, v, 1));
  const __m128d v2 = _mm_add_pd(_mm256_castpd256_pd128(v4), _mm256_extractf128_pd(v4, 1));
  return _mm_cvtsd_f64(_mm_add_sd(v2, _mm_unpackhi_pd(v2, v2)));
}

}  // namespace

float dot_f32(const float* a, const float* b, std::size_t len) noexcept {
  constexpr std::size_t lanes = 16;
  std::size_t i = 0;
  __m512 s = _mm512_setzero_ps();
  if (len >= 4 * lanes) {
    __m512 acc0 = _mm512_mul_ps(_mm512_loadu_ps(a), _mm512_loadu_ps(b));
    __m512 acc1 = _mm512_mul_ps(_mm512_loadu_ps(a + lanes), _mm512_loadu_ps(b + lanes));
    __m512 acc2 = _mm512_mul_ps(_mm512_loadu_ps(a + 2 * lanes), _mm512_loadu_ps(b + 2 * lanes));
    __m512 acc3 = _mm512_mul_ps(_mm512_loadu_ps(a + 3 * lanes), _mm512_loadu_ps(b + 3 * lanes));
    for (i = 4 * lanes; i + 4 * lanes <= len; i += 4 * lanes) {
      acc0 = _mm512_fmadd_ps(_mm512_loadu_ps(a + i), _mm512_loadu_ps(b + i), acc0);
      acc1 = _mm512_fmadd_ps(_mm512_loadu_ps(a + i + lanes), _mm512_loadu_ps(b + i + lanes), acc1);
      acc2 = _mm512_fmadd_ps(_mm512_loadu_ps(a + i + 2 * lanes), _mm512_loadu_ps(b + i + 2 * lanes), acc2);
      acc3 = _mm512_fmadd_ps(_mm512_loadu_ps(a + i + 3 * lanes), _mm512_loadu_ps(b + i + 3 * lanes), acc3);
    }
    s = _mm512_add_ps(_mm512_add_ps(_mm512_add_ps(acc0, acc1), acc2), acc3);
  } else if (len >= lanes) {
    s = _mm512_mul_ps(_mm512_loadu_ps(a), _mm512_loadu_ps(b));
    i = lanes;
  }
  for (; i + lanes <= len; i += lanes) s = _mm512_fmadd_ps(_mm512_loadu_ps(a + i), _mm512_loadu_ps(b + i), s);
  float result = halving_sum(s);
  if (i < len) {
    const auto mask = static_cast<__mmask16>((1u << (len - i)) - 1);
    result += halving_sum(_mm512_mul_ps(_mm512_maskz_loadu_ps(mask, a + i), _mm512_maskz_loadu_ps(mask, b + i)));
  }
  return result;
}

double dot_f64(const double* a, const double* b, std::size_t len) noexcept {
  constexpr std::size_t lanes = 8;
  std::size_t i = 0;
  __m512d s = _mm512_setzero_pd();
  if (len >= 4 * lanes) {
    __m512d acc0 = _mm512_mul_pd(_mm512_loadu_pd(a), _mm512_loadu_pd(b));
    __m512d acc1 = _mm512_mul_pd(_mm512_loadu_pd(a + lanes), _mm512_loadu_pd(b + lanes));
    __m512d acc2 = _mm512_mul_pd(_mm512_loadu_pd(a + 2 * lanes), _mm512_loadu_pd(b + 2 * lanes));
    __m512d acc3 = _mm512_mul_pd(_mm512_loadu_pd(a + 3 * lanes), _mm512_loadu_pd(b + 3 * lanes));
    for (i = 4 * lanes; i + 4 * lanes <= len; i += 4 * lanes) {
      acc0 = _mm512_fmadd_pd(_mm512_loadu_pd(a + i), _mm512_loadu_pd(b + i), acc0);
      acc1 = _mm512_fmadd_pd(_mm512_loadu_pd(a + i + lanes), _mm512_loadu_pd(b + i + lanes), acc1);
      acc2 = _mm512_fmadd_pd(_mm512_loadu_pd(a + i + 2 * lanes), _mm512_loadu_pd(b + i + 2 * lanes), acc2);
      acc3 = _mm512_fmadd_pd(_mm512_loadu_pd(a + i + 3 * lanes), _mm512_loadu_pd(b + i + 3 * lanes), acc3);
    }
    s = _mm512_add_pd(_mm512_add_pd(_mm512_add_pd(acc0, acc1), acc2), acc3);
  } else if (len >= lanes) {
    s = _mm512_mul_pd(_mm512_loadu_pd(a), _mm512_loadu_pd(b));
    i = lanes;
  }
  for (; i + lanes <= len; i += lanes) s = _mm512_fmadd_pd(_mm512_loadu_pd(a + i), _mm512_loadu_pd(b + i), s);
  double result = halving_sum(s);
  if (i < len) {
    const auto mask = static_cast<__mmask8>((1u << (len - i)) - 1);
    result += halving_sum(_mm512_mul_pd(_mm512_maskz_loadu_pd(mask, a + i), _mm512_maskz_loadu_pd(mask, b + i)));
  }
  return result;
}

}  // namespace kavo_ops::tier_a

namespace kavo_ops::tier_a {
namespace {

// dot_f64's exact steps for G dots sharing the operand `a`: each dot keeps
// its own accumulators, so every result has the lone dot's bits, while each
// vector of `a` is loaded once for all G. Six dots use 24 of the 32 ZMM
// registers for accumulators.
template <std::size_t G>
void dot_group(const double* a, const double* const* b, std::size_t len, double* out) noexcept {
  constexpr std::size_t lanes = 8;
  std::size_t i = 0;
  __m512d s[G];
  for (std::size_t g = 0; g < G; ++g) s[g] = _mm512_setzero_pd();
  if (len >= 4 * lanes) {
    __m512d acc[G][4];
    for (std::size_t q = 0; q < 4; ++q) {
      const __m512d av = _mm512_loadu_pd(a + q * lanes);
      for (std::size_t g = 0; g < G; ++g) acc[g][q] = _mm512_mul_pd(av, _mm512_loadu_pd(b[g] + q * lanes));
    }
    for (i = 4 * lanes; i + 4 * lanes <= len; i += 4 * lanes) {
      for (std::size_t q = 0; q < 4; ++q) {
        const __m512d av = _mm512_loadu_pd(a + i + q * lanes);
        for (std::size_t g = 0; g < G; ++g) {
          acc[g][q] = _mm512_fmadd_pd(av, _mm512_loadu_pd(b[g] + i + q * lanes), acc[g][q]);
        }
      }
    }
    for (std::size_t g = 0; g < G; ++g) {
      s[g] = _mm512_add_pd(_mm512_add_pd(_mm512_add_pd(acc[g][0], acc[g][1]), acc[g][2]), acc[g][3]);
    }
  } else if (len >= lanes) {
    const __m512d av = _mm512_loadu_pd(a);
    for (std::size_t g = 0; g < G; ++g) s[g] = _mm512_mul_pd(av, _mm512_loadu_pd(b[g]));
    i = lanes;
  }
  for (; i + lanes <= len; i += lanes) {
    const __m512d av = _mm512_loadu_pd(a + i);
    for (std::size_t g = 0; g < G; ++g) s[g] = _mm512_fmadd_pd(av, _mm512_loadu_pd(b[g] + i), s[g]);
  }
  if (i < len) {
    const auto mask = static_cast<__mmask8>((1u << (len - i)) - 1);
    const __m512d av = _mm512_maskz_loadu_pd(mask, a + i);
    for (std::size_t g = 0; g < G; ++g) {
      out[g] = halving_sum(s[g]) + halving_sum(_mm512_mul_pd(av, _mm512_maskz_loadu_pd(mask, b[g] + i)));
    }
  } else {
    for (std::size_t g = 0; g < G; ++g) out[g] = halving_sum(s[g]);
  }
}

}  // namespace

void dot_group_f64(const double* shared, const double* const* others, std::size_t count, std::size_t len,
                   double* out) noexcept {
  std::size_t g = 0;
  for (; g + 6 <= count; g += 6) dot_group<6>(shared, others + g, len, out + g);
  switch (count - g) {
    case 5: dot_group<5>(shared, others + g, len, out + g); break;
    case 4: dot_group<4>(shared, others + g, len, out + g); break;
    case 3: dot_group<3>(shared, others + g, len, out + g); break;
    case 2: dot_group<2>(shared, others + g, len, out + g); break;
    case 1: dot_group<1>(shared, others + g, len, out + g); break;
    default: break;
  }
}

}  // namespace kavo_ops::tier_a
