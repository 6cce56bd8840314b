#pragma once
// AVX-512 form of row_best, first_largest and rows_to_revisit, included by
// the tier A source (inside an anonymous namespace there). Eight lanes per
// register; row_best runs two registers of lanes side by side, so that each
// keeps its own running best and the compare-and-select chains of the two
// overlap. Each lane keeps its largest significant magnitude (insignificant
// ones count as 0) and the first position of it; lanes are then merged,
// ties to the lowest position, which is the scalar scan's choice.
// Every lane computes s_i·roots[j] and ε·max(·, floor) exactly as the
// scalar form does; no value is NaN and magnitudes carry no negative zero,
// so the maximum instruction equals the scalar maximum.

#include <immintrin.h>

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "kavo_ops/linalg/symmetric_eigen/row_best.h"

namespace kavo_ops {
namespace {

// Eight entries from j (the first `lanes` of them when a mask is given, the
// rest reading as 0): their magnitudes where significant, 0 elsewhere.
inline __m512d significant_magnitudes(const double* row, const double* roots, __m512d s_i, __m512d floor,
                                      std::size_t j, __mmask8 lanes = 0xFF) noexcept {
  const __m512d x = _mm512_abs_pd(_mm512_maskz_loadu_pd(lanes, row + j));
  const __m512d product = _mm512_mul_pd(s_i, _mm512_maskz_loadu_pd(lanes, roots + j));
  // product < floor ? floor : product
  const __m512d t = _mm512_mask_blend_pd(_mm512_cmp_pd_mask(product, floor, _CMP_LT_OQ), product, floor);
  const __m512d threshold = _mm512_mul_pd(_mm512_set1_pd(0x1p-52), t);
  return _mm512_maskz_mov_pd(_mm512_cmp_pd_mask(x, threshold, _CMP_GT_OQ), x);
}

struct LaneBests {
  __m512d largest;
  __m512i position;
};

inline void take_better(LaneBests& bests, __m512d candidate, __m512i position) noexcept {
  const __mmask8 better = _mm512_cmp_pd_mask(candidate, bests.largest, _CMP_GT_OQ);
  bests.largest = _mm512_mask_blend_pd(better, bests.largest, candidate);
  bests.position = _mm512_mask_blend_epi64(better, bests.position, position);
}

RowBest row_best_avx512(const double* row, const double* roots, double s_i, double floor,
                        std::size_t count) noexcept {
  const __m512d vs = _mm512_set1_pd(s_i);
  const __m512d vfloor = _mm512_set1_pd(floor);
  const __m512i none = _mm512_set1_epi64(static_cast<long long>(count));
  LaneBests even{_mm512_setzero_pd(), none}, odd{_mm512_setzero_pd(), none};
  __m512i lane_position = _mm512_setr_epi64(0, 1, 2, 3, 4, 5, 6, 7);
  const __m512i eight = _mm512_set1_epi64(8);
  std::size_t j = 0;
  for (; j + 16 <= count; j += 16) {
    take_better(even, significant_magnitudes(row, roots, vs, vfloor, j), lane_position);
    lane_position = _mm512_add_epi64(lane_position, eight);
    take_better(odd, significant_magnitudes(row, roots, vs, vfloor, j + 8), lane_position);
    lane_position = _mm512_add_epi64(lane_position, eight);
  }
  if (j + 8 <= count) {
    take_better(even, significant_magnitudes(row, roots, vs, vfloor, j), lane_position);
    lane_position = _mm512_add_epi64(lane_position, eight);
    j += 8;
  }
  if (j < count) {
    const auto tail = static_cast<__mmask8>((1u << (count - j)) - 1u);
    take_better(odd, significant_magnitudes(row, roots, vs, vfloor, j, tail), lane_position);
  }
  // Lane by lane the better of the two chains (ties to the lower position),
  // then the eight lanes the same way.
  const __mmask8 odd_better =
      _mm512_cmp_pd_mask(odd.largest, even.largest, _CMP_GT_OQ) |
      (_mm512_cmp_pd_mask(odd.largest, even.largest, _CMP_EQ_OQ) & _mm512_cmplt_epi64_mask(odd.position, even.position));
  alignas(64) double lane_best[8];
  alignas(64) std::int64_t lane_index[8];
  _mm512_store_pd(lane_best, _mm512_mask_blend_pd(odd_better, even.largest, odd.largest));
  _mm512_store_si512(lane_index, _mm512_mask_blend_epi64(odd_better, even.position, odd.position));
  RowBest best{0.0, count};
  for (int lane = 0; lane < 8; ++lane) {
    const auto index = static_cast<std::size_t>(lane_index[lane]);
    if (lane_best[lane] > best.magnitude ||
        (lane_best[lane] == best.magnitude && lane_best[lane] > 0.0 && index < best.index)) {
      best = {lane_best[lane], index};
    }
  }
  return best;
}

std::size_t first_largest_avx512(const double* values, std::size_t count) noexcept {
  if (count == 0) return 0;
  // Compare and select rather than the maximum instruction, whose GCC 12
  // wrapper trips -Wmaybe-uninitialized; with no NaN they agree.
  __m512d largest = _mm512_set1_pd(values[0]);
  std::size_t j = 0;
  for (; j + 8 <= count; j += 8) {
    const __m512d v = _mm512_loadu_pd(values + j);
    largest = _mm512_mask_blend_pd(_mm512_cmp_pd_mask(v, largest, _CMP_GT_OQ), largest, v);
  }
  alignas(64) double lanes[8];
  _mm512_store_pd(lanes, largest);
  double best = lanes[0];
  for (int lane = 1; lane < 8; ++lane) best = std::fmax(best, lanes[lane]);
  for (std::size_t k = j; k < count; ++k) best = std::fmax(best, values[k]);
  const __m512d target = _mm512_set1_pd(best);
  for (j = 0; j + 8 <= count; j += 8) {
    const unsigned hits = _mm512_cmp_pd_mask(_mm512_loadu_pd(values + j), target, _CMP_EQ_OQ);
    if (hits != 0) return j + static_cast<std::size_t>(std::countr_zero(hits));
  }
  for (; j < count; ++j) {
    if (values[j] == best) return j;
  }
  return count;  // unreachable
}

std::size_t rows_to_revisit_avx512(const double* row_p, const double* row_q, const double* best,
                                  const std::uint64_t* column, std::uint64_t p, std::uint64_t q, double cut,
                                  std::uint64_t* rows) noexcept {
  const __m512d vcut = _mm512_set1_pd(cut);
  const __m512i vp = _mm512_set1_epi64(static_cast<long long>(p));
  const __m512i vq = _mm512_set1_epi64(static_cast<long long>(q));
  std::size_t listed = 0;
  std::uint64_t i = 0;
  for (; i + 8 <= q; i += 8) {
    const __m512d b = _mm512_loadu_pd(best + i);
    const __m512d xp = _mm512_abs_pd(_mm512_loadu_pd(row_p + i));
    const __m512d xq = _mm512_abs_pd(_mm512_loadu_pd(row_q + i));
    const __m512i c = _mm512_loadu_si512(column + i);
    const __mmask8 on_plane = _mm512_cmpeq_epi64_mask(c, vp) | _mm512_cmpeq_epi64_mask(c, vq);
    const __mmask8 grown_p = _mm512_cmp_pd_mask(xp, b, _CMP_GE_OQ) & _mm512_cmp_pd_mask(xp, vcut, _CMP_GT_OQ);
    const __mmask8 grown_q = _mm512_cmp_pd_mask(xq, b, _CMP_GE_OQ) & _mm512_cmp_pd_mask(xq, vcut, _CMP_GT_OQ);
    unsigned hits = static_cast<unsigned>(on_plane | grown_p | grown_q);
    while (hits != 0) {
      rows[listed++] = i + static_cast<std::uint64_t>(std::countr_zero(hits));
      hits &= hits - 1;
    }
  }
  for (; i < q; ++i) {
    const double xp = std::fabs(row_p[i]);
    const double xq = std::fabs(row_q[i]);
    if ((xp >= best[i] && xp > cut) || (xq >= best[i] && xq > cut) || column[i] == p || column[i] == q) {
      rows[listed++] = i;
    }
  }
  return listed;
}

}  // namespace
}  // namespace kavo_ops
