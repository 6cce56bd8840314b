// gemv_transpose dispatch and its portable form (tier C).
//
// The portable form keeps four y values at a time in locals while it runs
// down all m rows, then takes the last n mod 4 columns one at a time. Each
// y[j] is the std::fma chain over ascending i, as on the vector tiers.

#include <cmath>

#include "fyrel/gemv/gemv.h"
#include "fyrel/gemv/gemv_lengths.h"
#include "fyrel/gemv/gemv_tier_kernels.h"
#include "platform/processor_tier.h"

namespace fyrel {
namespace {

void portable_gemv_transpose(const double* a, std::size_t a_len, const double* x, std::size_t x_len, double* y,
                             std::size_t y_len, std::size_t m, std::size_t n, std::size_t s) noexcept {
  if (!gemv_transpose_lengths_fit(a_len, x_len, y_len, m, n, s)) return;
  if (m == 0 || n == 0) return;
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
}

}  // namespace

void gemv_transpose(const double* a, std::size_t a_len, const double* x, std::size_t x_len, double* y,
                    std::size_t y_len, std::size_t m, std::size_t n, std::size_t s) noexcept {
  switch (platform::active_tier()) {
    case platform::Tier::A:
      if (tier_a::gemv_transpose(a, a_len, x, x_len, y, y_len, m, n, s)) return;
      break;
    case platform::Tier::B:
      if (tier_b::gemv_transpose(a, a_len, x, x_len, y, y_len, m, n, s)) return;
      break;
    case platform::Tier::C:
      break;
  }
  portable_gemv_transpose(a, a_len, x, x_len, y, y_len, m, n, s);
}

}  // namespace fyrel
