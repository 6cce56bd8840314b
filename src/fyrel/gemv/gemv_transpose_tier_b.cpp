// gemv_transpose, tier B: YMM vectors of 4 float64 lanes, AVX2 + FMA.
// y is updated in column chunks, each loaded once, carried down all m rows
// and stored once, so every y[j] is the chain fma(x[i], A[i, j], y[j]) over
// ascending i, as on every other tier:
//   16 columns  y0..y3 hold the chunk; rows two at a time, x[i] and x[i+1]
//               broadcast (eight independent fmas per step hide the latency)
//    4 columns  one vector of y; rows four at a time
//   tail        the last n mod 4 columns: masked loads and a masked store, so
//               nothing outside the window is read or written

#include <immintrin.h>

#include <cstddef>

#include "fyrel/gemv/gemv_lengths.h"
#include "fyrel/gemv/gemv_tier_kernels.h"

namespace fyrel::tier_b {
namespace {

constexpr std::size_t lanes = 4;

// All-ones in lanes 0 .. count-1 (the sign bit selects a lane in maskload/maskstore).
__m256i first_lanes(std::size_t count) {
  return _mm256_cmpgt_epi64(_mm256_set1_epi64x(static_cast<long long>(count)), _mm256_setr_epi64x(0, 1, 2, 3));
}

// y[0 .. 16) += sum_i x[i] * (row i of the window starting at a).
void sixteen_columns(const double* a, std::size_t s, const double* x, std::size_t m, double* y) {
  __m256d y0 = _mm256_loadu_pd(y);
  __m256d y1 = _mm256_loadu_pd(y + lanes);
  __m256d y2 = _mm256_loadu_pd(y + 2 * lanes);
  __m256d y3 = _mm256_loadu_pd(y + 3 * lanes);
  std::size_t i = 0;
  for (; i + 2 <= m; i += 2) {
    const double* r0 = a + i * s;
    const double* r1 = r0 + s;
    const __m256d x0 = _mm256_set1_pd(x[i]);
    const __m256d x1 = _mm256_set1_pd(x[i + 1]);
    y0 = _mm256_fmadd_pd(x0, _mm256_loadu_pd(r0), y0);
    y1 = _mm256_fmadd_pd(x0, _mm256_loadu_pd(r0 + lanes), y1);
    y2 = _mm256_fmadd_pd(x0, _mm256_loadu_pd(r0 + 2 * lanes), y2);
    y3 = _mm256_fmadd_pd(x0, _mm256_loadu_pd(r0 + 3 * lanes), y3);
    y0 = _mm256_fmadd_pd(x1, _mm256_loadu_pd(r1), y0);
    y1 = _mm256_fmadd_pd(x1, _mm256_loadu_pd(r1 + lanes), y1);
    y2 = _mm256_fmadd_pd(x1, _mm256_loadu_pd(r1 + 2 * lanes), y2);
    y3 = _mm256_fmadd_pd(x1, _mm256_loadu_pd(r1 + 3 * lanes), y3);
  }
  if (i < m) {
    const double* r0 = a + i * s;
    const __m256d x0 = _mm256_set1_pd(x[i]);
    y0 = _mm256_fmadd_pd(x0, _mm256_loadu_pd(r0), y0);
    y1 = _mm256_fmadd_pd(x0, _mm256_loadu_pd(r0 + lanes), y1);
    y2 = _mm256_fmadd_pd(x0, _mm256_loadu_pd(r0 + 2 * lanes), y2);
    y3 = _mm256_fmadd_pd(x0, _mm256_loadu_pd(r0 + 3 * lanes), y3);
  }
  _mm256_storeu_pd(y, y0);
  _mm256_storeu_pd(y + lanes, y1);
  _mm256_storeu_pd(y + 2 * lanes, y2);
  _mm256_storeu_pd(y + 3 * lanes, y3);
}

// y[0 .. 4) += sum_i x[i] * (row i of the window starting at a).
void four_columns(const double* a, std::size_t s, const double* x, std::size_t m, double* y) {
  __m256d acc = _mm256_loadu_pd(y);
  std::size_t i = 0;
  for (; i + 4 <= m; i += 4) {
    const double* r = a + i * s;
    acc = _mm256_fmadd_pd(_mm256_set1_pd(x[i]), _mm256_loadu_pd(r), acc);
    acc = _mm256_fmadd_pd(_mm256_set1_pd(x[i + 1]), _mm256_loadu_pd(r + s), acc);
    acc = _mm256_fmadd_pd(_mm256_set1_pd(x[i + 2]), _mm256_loadu_pd(r + 2 * s), acc);
    acc = _mm256_fmadd_pd(_mm256_set1_pd(x[i + 3]), _mm256_loadu_pd(r + 3 * s), acc);
  }
  for (; i < m; ++i) acc = _mm256_fmadd_pd(_mm256_set1_pd(x[i]), _mm256_loadu_pd(a + i * s), acc);
  _mm256_storeu_pd(y, acc);
}

// four_columns for the lanes set in `mask` only.
void masked_columns(const double* a, std::size_t s, const double* x, std::size_t m, __m256i mask, double* y) {
  __m256d acc = _mm256_maskload_pd(y, mask);
  std::size_t i = 0;
  for (; i + 4 <= m; i += 4) {
    const double* r = a + i * s;
    acc = _mm256_fmadd_pd(_mm256_set1_pd(x[i]), _mm256_maskload_pd(r, mask), acc);
    acc = _mm256_fmadd_pd(_mm256_set1_pd(x[i + 1]), _mm256_maskload_pd(r + s, mask), acc);
    acc = _mm256_fmadd_pd(_mm256_set1_pd(x[i + 2]), _mm256_maskload_pd(r + 2 * s, mask), acc);
    acc = _mm256_fmadd_pd(_mm256_set1_pd(x[i + 3]), _mm256_maskload_pd(r + 3 * s, mask), acc);
  }
  for (; i < m; ++i) acc = _mm256_fmadd_pd(_mm256_set1_pd(x[i]), _mm256_maskload_pd(a + i * s, mask), acc);
  _mm256_maskstore_pd(y, mask, acc);
}

}  // namespace

bool gemv_transpose(const double* a, std::size_t a_len, const double* x, std::size_t x_len, double* y,
                    std::size_t y_len, std::size_t m, std::size_t n, std::size_t s) noexcept {
  if (!gemv_transpose_lengths_fit(a_len, x_len, y_len, m, n, s)) return false;
  if (m == 0 || n == 0) return true;
  std::size_t j = 0;
  for (; j + 4 * lanes <= n; j += 4 * lanes) sixteen_columns(a + j, s, x, m, y + j);
  for (; j + lanes <= n; j += lanes) four_columns(a + j, s, x, m, y + j);
  if (j < n) masked_columns(a + j, s, x, m, first_lanes(n - j), y + j);
  return true;
}

}  // namespace fyrel::tier_b
