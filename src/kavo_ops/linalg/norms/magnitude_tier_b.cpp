// Magnitude kernels, tier B: AVX2, L = 4 float64 lanes per YMM.
//   acc0..acc7: eight running accumulators over blocks of 8*L = 32 elements
//     (element 32k + 4j + l goes to lane l of acc j), enough independent
//     chains to cover the add latency at two additions per cycle.
//   The remaining whole L-blocks go to acc0, acc1, ... in order, and the
//     last len mod L elements (missing lanes read as 0) to the next one.
//   Sum: S = ((acc0 + acc1) + (acc2 + acc3)) + ((acc4 + acc5) + (acc6 + acc7))
//     lane-wise, then lanes (0 + 2) + (1 + 3).
//   Max: the magnitudes' bit patterns (sign cleared) compared as signed
//     64-bit integers, all non-negative: integer order is numeric order and
//     every NaN lies above +inf, so the result is exact, independent of the
//     order of work, and NaN as soon as one entry is NaN.

#include <immintrin.h>

#include <bit>
#include <cstddef>
#include <cstdint>

#include "kavo_ops/linalg/norms/magnitude_tier_kernels.h"

namespace kavo_ops::tier_b {
namespace {

constexpr std::size_t lanes = 4;
constexpr std::size_t accumulators = 8;

// All-ones in lanes 0 .. count-1 (the sign bit selects a lane in maskload).
__m256i first_lanes(std::size_t count) {
  return _mm256_cmpgt_epi64(_mm256_set1_epi64x(static_cast<long long>(count)), _mm256_setr_epi64x(0, 1, 2, 3));
}

__m256i magnitude_mask() { return _mm256_set1_epi64x(0x7FFF'FFFF'FFFF'FFFFll); }

__m256d magnitudes(__m256d v) { return _mm256_and_pd(v, _mm256_castsi256_pd(magnitude_mask())); }

__m256i larger(__m256i a, __m256i b) { return _mm256_blendv_epi8(a, b, _mm256_cmpgt_epi64(b, a)); }

}  // namespace

double magnitude_sum_f64(const double* x, std::size_t len) noexcept {
  __m256d acc[accumulators];
  for (std::size_t j = 0; j < accumulators; ++j) acc[j] = _mm256_setzero_pd();
  std::size_t i = 0;
  for (; i + accumulators * lanes <= len; i += accumulators * lanes) {
#pragma GCC unroll 8
    for (std::size_t j = 0; j < accumulators; ++j) {
      acc[j] = _mm256_add_pd(acc[j], magnitudes(_mm256_loadu_pd(x + i + j * lanes)));
    }
  }
  std::size_t j = 0;
  for (; i + lanes <= len; i += lanes, ++j) acc[j] = _mm256_add_pd(acc[j], magnitudes(_mm256_loadu_pd(x + i)));
  if (i < len) acc[j] = _mm256_add_pd(acc[j], magnitudes(_mm256_maskload_pd(x + i, first_lanes(len - i))));
  const __m256d s = _mm256_add_pd(_mm256_add_pd(_mm256_add_pd(acc[0], acc[1]), _mm256_add_pd(acc[2], acc[3])),
                                  _mm256_add_pd(_mm256_add_pd(acc[4], acc[5]), _mm256_add_pd(acc[6], acc[7])));
  const __m128d halves = _mm_add_pd(_mm256_castpd256_pd128(s), _mm256_extractf128_pd(s, 1));
  return _mm_cvtsd_f64(_mm_add_sd(halves, _mm_unpackhi_pd(halves, halves)));
}

double max_magnitude_f64(const double* x, std::size_t len) noexcept {
  const __m256i mask = magnitude_mask();
  __m256i acc[accumulators];
  for (std::size_t j = 0; j < accumulators; ++j) acc[j] = _mm256_setzero_si256();
  std::size_t i = 0;
  for (; i + accumulators * lanes <= len; i += accumulators * lanes) {
#pragma GCC unroll 8
    for (std::size_t j = 0; j < accumulators; ++j) {
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x + i + j * lanes));
      acc[j] = larger(acc[j], _mm256_and_si256(v, mask));
    }
  }
  std::size_t j = 0;
  for (; i + lanes <= len; i += lanes, ++j) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x + i));
    acc[j] = larger(acc[j], _mm256_and_si256(v, mask));
  }
  if (i < len) {
    const __m256i v = _mm256_castpd_si256(_mm256_maskload_pd(x + i, first_lanes(len - i)));
    acc[j] = larger(acc[j], _mm256_and_si256(v, mask));
  }
  const __m256i m = larger(larger(larger(acc[0], acc[1]), larger(acc[2], acc[3])),
                           larger(larger(acc[4], acc[5]), larger(acc[6], acc[7])));
  alignas(32) std::uint64_t lane_bits[lanes];
  _mm256_store_si256(reinterpret_cast<__m256i*>(lane_bits), m);
  std::uint64_t result = lane_bits[0];
  for (std::size_t l = 1; l < lanes; ++l) result = lane_bits[l] > result ? lane_bits[l] : result;
  return std::bit_cast<double>(result);
}

}  // namespace kavo_ops::tier_b
