// gemv and gemv_transpose, tier C: the portable forms, also what the
// dispatchers fall back on when a vector form finds the lengths do not fit.
//
// gemv uses the tier B grouping so that tiers B and C agree bit for bit: four
// partial sums p[l] per row, p[l] the std::fma chain from zero over the
// columns j = l (mod 4) in ascending j, then
//   y[i] = y[i] + ((p[0] + p[2]) + (p[1] + p[3])).
// gemv_transpose keeps four y values at a time in locals while it runs down
// all m rows, then takes the last n mod 4 columns one at a time. Each y[j] is
// the std::fma chain over ascending i, as on the vector tiers.

#include <cmath>

#include "fyrel/gemv/gemv_kernel_table.h"
#include "fyrel/gemv/gemv_lengths.h"

namespace fyrel {
namespace {

bool portable_gemv(const double* a, std::size_t a_len, const double* x, std::size_t x_len, double* y, std::size_t y_len,
                   std::size_t m, std::size_t n, std::size_t s) noexcept {
  if (!gemv_lengths_fit(a_len, x_len, y_len, m, n, s)) return false;
  if (m == 0 || n == 0) return true;
  for (std::size_t i = 0; i < m; ++i) {
    const double* row = a + i * s;
    double p[4] = {0.0, 0.0, 0.0, 0.0};
    std::size_t j = 0;
    for (; j + 4 <= n; j += 4) {
      for (std::size_t l = 0; l < 4; ++l) p[l] = std::fma(row[j + l], x[j + l], p[l]);
    }
    for (std::size_t l = 0; j + l < n; ++l) p[l] = std::fma(row[j + l], x[j + l], p[l]);
    y[i] = y[i] + ((p[0] + p[2]) + (p[1] + p[3]));
  }
  return true;
}

bool portable_gemv_transpose(const double* a, std::size_t a_len, const double* x, std::size_t x_len, double* y,
                             std::size_t y_len, std::size_t m, std::size_t n, std::size_t s) noexcept {
  if (!gemv_transpose_lengths_fit(a_len, x_len, y_len, m, n, s)) return false;
  if (m == 0 || n == 0) return true;
  std::size_t j = 0;
  for (; j + 4 <= n; j += 4) {
    double y0 = y[j], y1 = y[j + 1], y2 = y[j + 2], y3 = y[j + 3];
    for (std::size_t i = 0; i < m; ++i) {
      const double* row = a + i * s + j;
      y0 = std::fma(x[i], row[0], y0);
      y1 = std::fma(x[i], row[1], y1);
      y2 = std::fma(x[i], row[2], y2);
      y3 = std::fma(x[i], row[3], y3);
    }
    y[j] = y0;
    y[j + 1] = y1;
    y[j + 2] = y2;
    y[j + 3] = y3;
  }
  for (; j < n; ++j) {
    double yj = y[j];
    for (std::size_t i = 0; i < m; ++i) yj = std::fma(x[i], a[i * s + j], yj);
    y[j] = yj;
  }
  return true;
}

}  // namespace

constinit const GemvKernels gemv_kernels_tier_c{portable_gemv, portable_gemv_transpose};

}  // namespace fyrel
