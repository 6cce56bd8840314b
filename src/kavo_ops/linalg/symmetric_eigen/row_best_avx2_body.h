#pragma once
// AVX2 form of row_best and first_largest, included by the tier A and tier B
// sources (inside an anonymous namespace there). Four lanes per register,
// each keeping its largest significant magnitude (insignificant ones count
// as 0) and the first position of it; the lanes are then merged, ties to
// the lowest position, which is the scalar scan's choice.
// Every lane computes s_i·roots[j] and ε·max(·, floor) exactly as the
// scalar form does, and maxpd equals the scalar maximum here because no
// value is NaN and magnitudes carry no negative zero.

#include <immintrin.h>

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "kavo_ops/linalg/symmetric_eigen/row_best.h"

namespace kavo_ops {
namespace {

// jacobi_significant's expression, compiled here with this tier's flags
// (a shared inline function must not be: the linker could keep this copy).
inline bool significant_entry(double magnitude, double s_i, double s_j, double floor) noexcept {
  const double product = s_i * s_j;
  const double t = product < floor ? floor : product;
  return magnitude > 0x1p-52 * t;
}

struct Lanes {
  __m256d magnitude;
  __m256d significant;  // all-ones lanes
};

inline Lanes significant_lanes(const double* row, const double* roots, __m256d s_i, __m256d floor, std::size_t j) {
  const __m256d sign = _mm256_set1_pd(-0.0);
  const __m256d x = _mm256_andnot_pd(sign, _mm256_loadu_pd(row + j));
  const __m256d product = _mm256_mul_pd(s_i, _mm256_loadu_pd(roots + j));
  // product < floor ? floor : product
  const __m256d t = _mm256_blendv_pd(product, floor, _mm256_cmp_pd(product, floor, _CMP_LT_OQ));
  const __m256d threshold = _mm256_mul_pd(_mm256_set1_pd(0x1p-52), t);
  return {x, _mm256_cmp_pd(x, threshold, _CMP_GT_OQ)};
}

inline double horizontal_max(__m256d v) {
  const __m128d half = _mm_max_pd(_mm256_castpd256_pd128(v), _mm256_extractf128_pd(v, 1));
  return std::fmax(_mm_cvtsd_f64(half), _mm_cvtsd_f64(_mm_unpackhi_pd(half, half)));
}

RowBest row_best_avx2(const double* row, const double* roots, double s_i, double floor,
                      std::size_t count) noexcept {
  const __m256d vs = _mm256_set1_pd(s_i);
  const __m256d vfloor = _mm256_set1_pd(floor);
  // Per lane the largest significant magnitude and its first position
  // (strictly greater replaces, so each lane keeps its earliest).
  __m256d largest = _mm256_setzero_pd();
  __m256d position = _mm256_set1_pd(static_cast<double>(count));
  __m256d lane_position = _mm256_setr_pd(0.0, 1.0, 2.0, 3.0);
  const __m256d step = _mm256_set1_pd(4.0);
  std::size_t j = 0;
  for (; j + 4 <= count; j += 4) {
    const Lanes lanes = significant_lanes(row, roots, vs, vfloor, j);
    const __m256d candidate = _mm256_and_pd(lanes.magnitude, lanes.significant);
    const __m256d better = _mm256_cmp_pd(candidate, largest, _CMP_GT_OQ);
    largest = _mm256_blendv_pd(largest, candidate, better);
    position = _mm256_blendv_pd(position, lane_position, better);
    lane_position = _mm256_add_pd(lane_position, step);
  }
  alignas(32) double lane_best[4];
  alignas(32) double lane_index[4];
  _mm256_store_pd(lane_best, largest);
  _mm256_store_pd(lane_index, position);
  RowBest best{0.0, count};
  for (int lane = 0; lane < 4; ++lane) {
    const auto index = static_cast<std::size_t>(lane_index[lane]);
    if (lane_best[lane] > best.magnitude || (lane_best[lane] == best.magnitude && lane_best[lane] > 0.0 && index < best.index)) {
      best = {lane_best[lane], index};
    }
  }
  for (; j < count; ++j) {
    const double x = std::fabs(row[j]);
    if (x > best.magnitude && significant_entry(x, s_i, roots[j], floor)) best = {x, j};
  }
  return best;
}

std::size_t first_largest_avx2(const double* values, std::size_t count) noexcept {
  if (count == 0) return 0;
  __m256d largest = _mm256_set1_pd(values[0]);
  std::size_t j = 0;
  for (; j + 4 <= count; j += 4) largest = _mm256_max_pd(largest, _mm256_loadu_pd(values + j));
  double best = horizontal_max(largest);
  for (std::size_t k = j; k < count; ++k) best = std::fmax(best, values[k]);
  const __m256d target = _mm256_set1_pd(best);
  for (j = 0; j + 4 <= count; j += 4) {
    const int hits = _mm256_movemask_pd(_mm256_cmp_pd(_mm256_loadu_pd(values + j), target, _CMP_EQ_OQ));
    if (hits != 0) return j + static_cast<std::size_t>(std::countr_zero(static_cast<unsigned>(hits)));
  }
  for (; j < count; ++j) {
    if (values[j] == best) return j;
  }
  return count;  // unreachable
}

std::size_t rows_to_revisit_avx2(const double* row_p, const double* row_q, const double* best,
                                const std::uint64_t* column, std::uint64_t p, std::uint64_t q, double cut,
                                std::uint64_t* rows) noexcept {
  const __m256d vcut = _mm256_set1_pd(cut);
  const __m256d sign = _mm256_set1_pd(-0.0);
  const __m256i vp = _mm256_set1_epi64x(static_cast<long long>(p));
  const __m256i vq = _mm256_set1_epi64x(static_cast<long long>(q));
  std::size_t listed = 0;
  std::uint64_t i = 0;
  for (; i + 4 <= q; i += 4) {
    const __m256d b = _mm256_loadu_pd(best + i);
    const __m256d xp = _mm256_andnot_pd(sign, _mm256_loadu_pd(row_p + i));
    const __m256d xq = _mm256_andnot_pd(sign, _mm256_loadu_pd(row_q + i));
    const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(column + i));
    const __m256d on_plane =
        _mm256_castsi256_pd(_mm256_or_si256(_mm256_cmpeq_epi64(c, vp), _mm256_cmpeq_epi64(c, vq)));
    const __m256d grown_p = _mm256_and_pd(_mm256_cmp_pd(xp, b, _CMP_GE_OQ), _mm256_cmp_pd(xp, vcut, _CMP_GT_OQ));
    const __m256d grown_q = _mm256_and_pd(_mm256_cmp_pd(xq, b, _CMP_GE_OQ), _mm256_cmp_pd(xq, vcut, _CMP_GT_OQ));
    const __m256d grown = _mm256_or_pd(grown_p, grown_q);
    unsigned hits = static_cast<unsigned>(_mm256_movemask_pd(_mm256_or_pd(on_plane, grown)));
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
