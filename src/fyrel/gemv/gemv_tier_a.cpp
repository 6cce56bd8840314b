// gemv, tier A: ZMM vectors of 8 float64 lanes, AVX-512F.
//   acc0..acc3  partial sums of four rows; lane l of acc_k sums row k's
//               columns j = l (mod 8), fused, from zero in ascending j
//   x0, x1      the two column vectors of x that the four rows share, so x
//               is read once per four rows
// Columns go two vectors at a time, then one, then a zero-masked load of the
// last n mod 8 (masked-off lanes are not read, so nothing outside the row is
// touched). Each accumulator is then reduced by adding its upper half onto
// its lower half until one lane is left, and added to its y[i]. Rows left
// over below a multiple of four go one at a time through the same columns.

#include <immintrin.h>

#include <cstddef>

#include "fyrel/gemv/gemv_lengths.h"
#include "fyrel/gemv/gemv_tier_kernels.h"

namespace fyrel::tier_a {
namespace {

constexpr std::size_t lanes = 8;

// Bits 0 .. count-1 set, count < 8.
__mmask8 first_lanes(std::size_t count) { return static_cast<__mmask8>((1u << count) - 1u); }

// ((l0 + l4) + (l2 + l6)) + ((l1 + l5) + (l3 + l7)). The zero-masked extract
// avoids GCC 12's false "uninitialized" warning on the unmasked form.
double halving_sum(__m512d v) {
  const __m256d v4 = _mm256_add_pd(_mm512_maskz_extractf64x4_pd(0xF, v, 0), _mm512_maskz_extractf64x4_pd(0xF, v, 1));
  const __m128d v2 = _mm_add_pd(_mm256_castpd256_pd128(v4), _mm256_extractf128_pd(v4, 1));
  return _mm_cvtsd_f64(_mm_add_sd(v2, _mm_unpackhi_pd(v2, v2)));
}

// y[0 .. 4) += the four rows starting at a (stride s) times x.
void four_rows(const double* a, std::size_t s, const double* x, std::size_t n, __mmask8 tail, double* y) {
  const double* r0 = a;
  const double* r1 = r0 + s;
  const double* r2 = r1 + s;
  const double* r3 = r2 + s;
  __m512d acc0 = _mm512_setzero_pd();
  __m512d acc1 = _mm512_setzero_pd();
  __m512d acc2 = _mm512_setzero_pd();
  __m512d acc3 = _mm512_setzero_pd();
  std::size_t j = 0;
  for (; j + 2 * lanes <= n; j += 2 * lanes) {
    const __m512d x0 = _mm512_loadu_pd(x + j);
    const __m512d x1 = _mm512_loadu_pd(x + j + lanes);
    acc0 = _mm512_fmadd_pd(_mm512_loadu_pd(r0 + j), x0, acc0);
    acc1 = _mm512_fmadd_pd(_mm512_loadu_pd(r1 + j), x0, acc1);
    acc2 = _mm512_fmadd_pd(_mm512_loadu_pd(r2 + j), x0, acc2);
    acc3 = _mm512_fmadd_pd(_mm512_loadu_pd(r3 + j), x0, acc3);
    acc0 = _mm512_fmadd_pd(_mm512_loadu_pd(r0 + j + lanes), x1, acc0);
    acc1 = _mm512_fmadd_pd(_mm512_loadu_pd(r1 + j + lanes), x1, acc1);
    acc2 = _mm512_fmadd_pd(_mm512_loadu_pd(r2 + j + lanes), x1, acc2);
    acc3 = _mm512_fmadd_pd(_mm512_loadu_pd(r3 + j + lanes), x1, acc3);
  }
  if (j + lanes <= n) {
    const __m512d x0 = _mm512_loadu_pd(x + j);
    acc0 = _mm512_fmadd_pd(_mm512_loadu_pd(r0 + j), x0, acc0);
    acc1 = _mm512_fmadd_pd(_mm512_loadu_pd(r1 + j), x0, acc1);
    acc2 = _mm512_fmadd_pd(_mm512_loadu_pd(r2 + j), x0, acc2);
    acc3 = _mm512_fmadd_pd(_mm512_loadu_pd(r3 + j), x0, acc3);
    j += lanes;
  }
  if (j < n) {
    // Missing lanes load as zero, and fma(0, 0, acc) leaves acc exact.
    const __m512d x0 = _mm512_maskz_loadu_pd(tail, x + j);
    acc0 = _mm512_fmadd_pd(_mm512_maskz_loadu_pd(tail, r0 + j), x0, acc0);
    acc1 = _mm512_fmadd_pd(_mm512_maskz_loadu_pd(tail, r1 + j), x0, acc1);
    acc2 = _mm512_fmadd_pd(_mm512_maskz_loadu_pd(tail, r2 + j), x0, acc2);
    acc3 = _mm512_fmadd_pd(_mm512_maskz_loadu_pd(tail, r3 + j), x0, acc3);
  }
  y[0] = y[0] + halving_sum(acc0);
  y[1] = y[1] + halving_sum(acc1);
  y[2] = y[2] + halving_sum(acc2);
  y[3] = y[3] + halving_sum(acc3);
}

// y[0] += the row at a times x, with the column scheme of four_rows.
void one_row(const double* a, const double* x, std::size_t n, __mmask8 tail, double* y) {
  __m512d acc = _mm512_setzero_pd();
  std::size_t j = 0;
  for (; j + 2 * lanes <= n; j += 2 * lanes) {
    acc = _mm512_fmadd_pd(_mm512_loadu_pd(a + j), _mm512_loadu_pd(x + j), acc);
    acc = _mm512_fmadd_pd(_mm512_loadu_pd(a + j + lanes), _mm512_loadu_pd(x + j + lanes), acc);
  }
  if (j + lanes <= n) {
    acc = _mm512_fmadd_pd(_mm512_loadu_pd(a + j), _mm512_loadu_pd(x + j), acc);
    j += lanes;
  }
  if (j < n) acc = _mm512_fmadd_pd(_mm512_maskz_loadu_pd(tail, a + j), _mm512_maskz_loadu_pd(tail, x + j), acc);
  y[0] = y[0] + halving_sum(acc);
}

}  // namespace

bool gemv(const double* a, std::size_t a_len, const double* x, std::size_t x_len, double* y, std::size_t y_len,
          std::size_t m, std::size_t n, std::size_t s) noexcept {
  if (!gemv_lengths_fit(a_len, x_len, y_len, m, n, s)) return false;
  if (m == 0 || n == 0) return true;
  const __mmask8 tail = first_lanes(n % lanes);
  std::size_t i = 0;
  for (; i + 4 <= m; i += 4) four_rows(a + i * s, s, x, n, tail, y + i);
  for (; i < m; ++i) one_row(a + i * s, x, n, tail, y + i);
  return true;
}

}  // namespace fyrel::tier_a
