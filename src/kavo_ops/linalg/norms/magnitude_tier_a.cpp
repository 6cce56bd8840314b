// Magnitude kernels, tier A: AVX-512F, L = 8 float64 lanes per ZMM.
//   acc0..acc7: eight running accumulators over blocks of 8*L = 64 elements
//     (element 64k + 8j + l goes to lane l of acc j).
//   The remaining whole L-blocks go to acc0, acc1, ... in order, and the
//     last len mod L elements (masked, missing lanes 0) to the next one.
//   Sum: S = ((acc0 + acc1) + (acc2 + acc3)) + ((acc4 + acc5) + (acc6 + acc7))
//     lane-wise, then the upper half of the lanes is added to the lower half
//     until one lane is left (8 -> 4 -> 2 -> 1).
//   Max: the magnitudes' bit patterns (sign cleared) compared as unsigned
//     64-bit integers: integer order is numeric order for non-negative
//     doubles and every NaN lies above +inf, so the result is exact,
//     independent of the order of work, and NaN as soon as one entry is NaN.

#include <immintrin.h>

#include <bit>
#include <cstddef>
#include <cstdint>

#include "kavo_ops/linalg/norms/magnitude_tier_kernels.h"

namespace kavo_ops::tier_a {
namespace {

constexpr std::size_t lanes = 8;
constexpr std::size_t accumulators = 8;

__m512i magnitude_mask() { return _mm512_set1_epi64(0x7FFF'FFFF'FFFF'FFFFll); }

__mmask8 first_lanes(std::size_t count) { return static_cast<__mmask8>((1u << count) - 1); }

// The all-lanes masked form: GCC 12's unmasked _mm512_max_epu64 passes an
// undefined vector through and warns that it is uninitialized.
__m512i larger(__m512i a, __m512i b) { return _mm512_maskz_max_epu64(0xFF, a, b); }

// The zero-masked extracts avoid GCC 12's false "uninitialized" warning on
// the unmasked 512 -> 256 forms.
__m256d lower_half(__m512d v) { return _mm512_maskz_extractf64x4_pd(0xF, v, 0); }
__m256d upper_half(__m512d v) { return _mm512_maskz_extractf64x4_pd(0xF, v, 1); }

}  // namespace

double magnitude_sum_f64(const double* x, std::size_t len) noexcept {
  __m512d acc[accumulators];
  for (std::size_t j = 0; j < accumulators; ++j) acc[j] = _mm512_setzero_pd();
  std::size_t i = 0;
  for (; i + accumulators * lanes <= len; i += accumulators * lanes) {
#pragma GCC unroll 8
    for (std::size_t j = 0; j < accumulators; ++j) {
      acc[j] = _mm512_add_pd(acc[j], _mm512_abs_pd(_mm512_loadu_pd(x + i + j * lanes)));
    }
  }
  std::size_t j = 0;
  for (; i + lanes <= len; i += lanes, ++j) acc[j] = _mm512_add_pd(acc[j], _mm512_abs_pd(_mm512_loadu_pd(x + i)));
  if (i < len) {
    acc[j] = _mm512_add_pd(acc[j], _mm512_abs_pd(_mm512_maskz_loadu_pd(first_lanes(len - i), x + i)));
  }
  const __m512d s = _mm512_add_pd(_mm512_add_pd(_mm512_add_pd(acc[0], acc[1]), _mm512_add_pd(acc[2], acc[3])),
                                  _mm512_add_pd(_mm512_add_pd(acc[4], acc[5]), _mm512_add_pd(acc[6], acc[7])));
  const __m256d s4 = _mm256_add_pd(lower_half(s), upper_half(s));
  const __m128d s2 = _mm_add_pd(_mm256_castpd256_pd128(s4), _mm256_extractf128_pd(s4, 1));
  return _mm_cvtsd_f64(_mm_add_sd(s2, _mm_unpackhi_pd(s2, s2)));
}

double max_magnitude_f64(const double* x, std::size_t len) noexcept {
  const __m512i mask = magnitude_mask();
  __m512i acc[accumulators];
  for (std::size_t j = 0; j < accumulators; ++j) acc[j] = _mm512_setzero_si512();
  std::size_t i = 0;
  for (; i + accumulators * lanes <= len; i += accumulators * lanes) {
#pragma GCC unroll 8
    for (std::size_t j = 0; j < accumulators; ++j) {
      acc[j] = larger(acc[j], _mm512_and_epi64(_mm512_loadu_si512(x + i + j * lanes), mask));
    }
  }
  std::size_t j = 0;
  for (; i + lanes <= len; i += lanes, ++j) {
    acc[j] = larger(acc[j], _mm512_and_epi64(_mm512_loadu_si512(x + i), mask));
  }
  if (i < len) {
    acc[j] = larger(acc[j], _mm512_and_epi64(_mm512_maskz_loadu_epi64(first_lanes(len - i), x + i), mask));
  }
  const __m512i m = larger(larger(larger(acc[0], acc[1]), larger(acc[2], acc[3])),
                           larger(larger(acc[4], acc[5]), larger(acc[6], acc[7])));
  alignas(64) std::uint64_t lane_bits[lanes];
  _mm512_store_si512(lane_bits, m);
  std::uint64_t result = lane_bits[0];
  for (std::size_t l = 1; l < lanes; ++l) result = lane_bits[l] > result ? lane_bits[l] : result;
  return std::bit_cast<double>(result);
}

}  // namespace kavo_ops::tier_a
