#include "kavo_ops/linalg/bidiagonal/scaled_reflector_in_place.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "kavo_ops/linalg/scaling/certified_square_sum.h"
#include "kavo_ops/linalg/scaling/power_of_two.h"

namespace kavo_ops {

ReflectorWindow reflector_window(std::size_t m) noexcept {
  const double safmin = std::numeric_limits<double>::min();
  const double lower = std::sqrt(safmin) * (1.0 + 0x1p-52);
  const double upper = std::sqrt(scale_by_power_of_two(std::numeric_limits<double>::max(),
                                                       -ceil_log2(std::max<std::size_t>(m, 1)))) *
                       (1.0 - 0x1p-52);
  return {lower, upper};
}

InPlaceReflector scaled_reflector_in_place(double* x, std::size_t a, ReflectorWindow window) noexcept {
  if (a == 0) return {};
  if (a == 1) return {0.0, x[0]};
  double largest = 0.0;
  bool has_nan = false;
  for (std::size_t i = 0; i < a; ++i) {
    const double magnitude = std::fabs(x[i]);
    has_nan = has_nan || std::isnan(magnitude);
    largest = std::max(largest, magnitude);
  }
  int s = 0;
  if (largest != 0.0 && !has_nan && std::isfinite(largest) && (largest < window.lower || largest > window.upper)) {
    s = binary_exponent(largest);
  }
  double sigma = 0.0;
  for (std::size_t i = 1; i < a; ++i) {
    const double scaled = scale_by_power_of_two(x[i], -s);
    sigma += scaled * scaled;
  }
  if (sigma == 0.0) return {0.0, x[0]};

  const double r = scale_by_power_of_two(x[0], -s);
  double w = std::sqrt(r * r + sigma);
  if (r > 0.0) w = -w;
  const double divisor = r - w;
  for (std::size_t i = 1; i < a; ++i) x[i] = scale_by_power_of_two(x[i], -s) / divisor;
  const double tau = (w - r) / w;
  const double beta = scale_by_power_of_two(w, s);
  x[0] = beta;
  return {tau, beta};
}

}  // namespace kavo_ops
