// gemv dispatch and its portable form (tier C).
//
// The portable form uses the tier B grouping so that tiers B and C agree bit
// for bit: four partial sums p[l] per row, p[l] the std::fma chain from zero
// over the columns j = l (mod 4) in ascending j, then
//   y[i] = y[i] + ((p[0] + p[2]) + (p[1] + p[3])).

#include "fyrel/gemv/gemv.h"

#include <cmath>

#include "fyrel/gemv/gemv_lengths.h"
#include "fyrel/gemv/gemv_tier_kernels.h"
#include "platform/processor_tier.h"

namespace fyrel {
namespace {

void portable_gemv(const double* a, std::size_t a_len, const double* x, std::size_t x_len, double* y,
                   std::size_t y_len, std::size_t m, std::size_t n, std::size_t s) noexcept {
  if (!gemv_lengths_fit(a_len, x_len, y_len, m, n, s)) return;
  if (m == 0 || n == 0) return;
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
}

}  // namespace

void gemv(const double* a, std::size_t a_len, const double* x, std::size_t x_len, double* y, std::size_t y_len,
          std::size_t m, std::size_t n, std::size_t s) noexcept {
  switch (platform::active_tier()) {
    case platform::Tier::A:
      if (tier_a::gemv(a, a_len, x, x_len, y, y_len, m, n, s)) return;
      break;
    case platform::Tier::B:
      if (tier_b::gemv(a, a_len, x, x_len, y, y_len, m, n, s)) return;
      break;
    case platform::Tier::C:
      break;
  }
  portable_gemv(a, a_len, x, x_len, y, y_len, m, n, s);
}

}  // namespace fyrel
