#include "kavo_ops/linalg/svd/bidiagonal_qr/shift.h"

#include <algorithm>
#include <cmath>

#include "kavo_ops/linalg/scaling/power_of_two.h"
#include "kavo_ops/linalg/svd/bidiagonal_qr/deflation.h"

namespace kavo_ops {
namespace {

constexpr double kEps = 0x1p-52;

}  // namespace

ShiftChoice choose_shift(const QrState& state, std::size_t lo, std::size_t hi, bool top_down) noexcept {
  const std::span<const double> d = state.d;
  const std::span<const double> e = state.e;
  double smax = 0.0;
  for (std::size_t j = lo; j <= hi; ++j) smax = std::max(smax, std::fabs(d[j]));
  for (std::size_t j = lo; j < hi; ++j) smax = std::max(smax, std::fabs(e[j]));
  const double sminl = block_smallest_estimate(state, lo, hi, top_down);
  const double k = static_cast<double>(d.size());
  if (smax > 0.0 && std::max(kEps, kQrTolerance / 100.0) >= k * kQrTolerance * (sminl / smax)) return {};

  double a, b, c, p, ds, es;
  if (top_down) {
    a = d[hi - 1], b = e[hi - 1], c = d[hi], p = hi >= lo + 2 ? e[hi - 2] : 0.0;
    ds = d[lo], es = e[lo];
  } else {
    a = d[lo], b = e[lo], c = d[lo + 1], p = lo + 1 <= hi - 1 ? e[lo + 1] : 0.0;
    ds = d[hi], es = e[hi - 1];
  }
  static const double rtmin4 = std::pow(0x1p-1022, 0.25) * (1.0 + kEps);
  static const double rtmax4 = std::pow(0x1.fffffffffffffp1023 / 2.0, 0.25) * (1.0 - kEps);
  const double largest = std::max({std::fabs(a), std::fabs(b), std::fabs(c), std::fabs(p), std::fabs(ds),
                                   std::fabs(es)});
  if (largest != 0.0 && std::isfinite(largest) && (largest < rtmin4 || largest > rtmax4)) {
    const int t = binary_exponent(largest);
    for (double* value : {&a, &b, &c, &p, &ds, &es}) *value = scale_by_power_of_two(*value, -t);
  }
  double t11, t22, t12;
  if (top_down) {
    t11 = a * a + p * p, t22 = c * c + b * b, t12 = a * b;
  } else {
    t22 = a * a + b * b, t11 = c * c + p * p, t12 = b * c;
  }
  const double delta = (t11 - t22) / 2.0;
  const double q = std::sqrt(delta * delta + t12 * t12) + std::fabs(delta);
  double mu = t22;
  if (q != 0.0) mu = delta < 0.0 ? t22 + t12 * t12 / q : t22 - t12 * t12 / q;
  if (kEps * ds * ds > std::fabs(mu)) return {};
  return {false, ds * ds - mu, ds * es};
}

}  // namespace kavo_ops
