// gemv, tier B: YMM vectors of 4 float64 lanes, AVX2 + FMA.
//   acc0..acc3  partial sums of four rows; lane l of acc_k sums row k's
//               columns j = l (mod 4), fused, from zero in ascending j
//   x0, x1      the two column vectors of x that the four rows share, so x
//               is read once per four rows
// Columns go two vectors at a time, then one, then a masked vector of the
// last n mod 4 (maskload reads nothing outside the row). Each accumulator is
// then reduced (l0 + l2) + (l1 + l3) and added to its y[i]. Rows left over
// below a multiple of four go one at a time through the same column scheme.

#include <immintrin.h>

#include <cstddef>

#include "fyrel/gemv/gemv_lengths.h"
#include "fyrel/gemv/gemv_tier_kernels.h"

namespace fyrel::tier_b {
namespace {

constexpr std::size_t lanes = 4;

// All-ones in lanes 0 .. count-1 (the sign bit selects a lane in maskload).
__m256i first_lanes(std::size_t count) {
  return _mm256_cmpgt_epi64(_mm256_set1_epi64x(static_cast<long long>(count)), _mm256_setr_epi64x(0, 1, 2, 3));
}

// Upper half onto lower half until one lane is left: (l0 + l2) + (l1 + l3).
double halving_sum(__m256d v) {
  const __m128d v2 = _mm_add_pd(_mm256_castpd256_pd128(v), _mm256_extractf128_pd(v, 1));
  return _mm_cvtsd_f64(_mm_add_sd(v2, _mm_unpackhi_pd(v2, v2)));
}

// y[0 .. 4) += the four rows starting at a (stride s) times x.
void four_rows(const double* a, std::size_t s, const double* x, std::size_t n, __m256i tail, double* y) {
  const double* r0 = a;
  const double* r1 = r0 + s;
  const double* r2 = r1 + s;
  const double* r3 = r2 + s;
  __m256d acc0 = _mm256_setzero_pd();
  __m256d acc1 = _mm256_setzero_pd();
  __m256d acc2 = _mm256_setzero_pd();
  __m256d acc3 = _mm256_setzero_pd();
  std::size_t j = 0;
  for (; j + 2 * lanes <= n; j += 2 * lanes) {
    const __m256d x0 = _mm256_loadu_pd(x + j);
    const __m256d x1 = _mm256_loadu_pd(x + j + lanes);
    acc0 = _mm256_fmadd_pd(_mm256_loadu_pd(r0 + j), x0, acc0);
    acc1 = _mm256_fmadd_pd(_mm256_loadu_pd(r1 + j), x0, acc1);
    acc2 = _mm256_fmadd_pd(_mm256_loadu_pd(r2 + j), x0, acc2);
    acc3 = _mm256_fmadd_pd(_mm256_loadu_pd(r3 + j), x0, acc3);
    acc0 = _mm256_fmadd_pd(_mm256_loadu_pd(r0 + j + lanes), x1, acc0);
    acc1 = _mm256_fmadd_pd(_mm256_loadu_pd(r1 + j + lanes), x1, acc1);
    acc2 = _mm256_fmadd_pd(_mm256_loadu_pd(r2 + j + lanes), x1, acc2);
    acc3 = _mm256_fmadd_pd(_mm256_loadu_pd(r3 + j + lanes), x1, acc3);
  }
  if (j + lanes <= n) {
    const __m256d x0 = _mm256_loadu_pd(x + j);
    acc0 = _mm256_fmadd_pd(_mm256_loadu_pd(r0 + j), x0, acc0);
    acc1 = _mm256_fmadd_pd(_mm256_loadu_pd(r1 + j), x0, acc1);
    acc2 = _mm256_fmadd_pd(_mm256_loadu_pd(r2 + j), x0, acc2);
    acc3 = _mm256_fmadd_pd(_mm256_loadu_pd(r3 + j), x0, acc3);
    j += lanes;
  }
  if (j < n) {
    // Missing lanes load as zero, and fma(0, 0, acc) leaves acc exact.
    const __m256d x0 = _mm256_maskload_pd(x + j, tail);
    acc0 = _mm256_fmadd_pd(_mm256_maskload_pd(r0 + j, tail), x0, acc0);
    acc1 = _mm256_fmadd_pd(_mm256_maskload_pd(r1 + j, tail), x0, acc1);
    acc2 = _mm256_fmadd_pd(_mm256_maskload_pd(r2 + j, tail), x0, acc2);
    acc3 = _mm256_fmadd_pd(_mm256_maskload_pd(r3 + j, tail), x0, acc3);
  }
  y[0] = y[0] + halving_sum(acc0);
  y[1] = y[1] + halving_sum(acc1);
  y[2] = y[2] + halving_sum(acc2);
  y[3] = y[3] + halving_sum(acc3);
}

// y[0] += the row at a times x, with the column scheme of four_rows.
void one_row(const double* a, const double* x, std::size_t n, __m256i tail, double* y) {
  __m256d acc = _mm256_setzero_pd();
  std::size_t j = 0;
  for (; j + 2 * lanes <= n; j += 2 * lanes) {
    acc = _mm256_fmadd_pd(_mm256_loadu_pd(a + j), _mm256_loadu_pd(x + j), acc);
    acc = _mm256_fmadd_pd(_mm256_loadu_pd(a + j + lanes), _mm256_loadu_pd(x + j + lanes), acc);
  }
  if (j + lanes <= n) {
    acc = _mm256_fmadd_pd(_mm256_loadu_pd(a + j), _mm256_loadu_pd(x + j), acc);
    j += lanes;
  }
  if (j < n) acc = _mm256_fmadd_pd(_mm256_maskload_pd(a + j, tail), _mm256_maskload_pd(x + j, tail), acc);
  y[0] = y[0] + halving_sum(acc);
}

}  // namespace

bool gemv(const double* a, std::size_t a_len, const double* x, std::size_t x_len, double* y, std::size_t y_len,
          std::size_t m, std::size_t n, std::size_t s) noexcept {
  if (!gemv_lengths_fit(a_len, x_len, y_len, m, n, s)) return false;
  if (m == 0 || n == 0) return true;
  const __m256i tail = first_lanes(n % lanes);
  std::size_t i = 0;
  for (; i + 4 <= m; i += 4) four_rows(a + i * s, s, x, n, tail, y + i);
  for (; i < m; ++i) one_row(a + i * s, x, n, tail, y + i);
  return true;
}

}  // namespace fyrel::tier_b
