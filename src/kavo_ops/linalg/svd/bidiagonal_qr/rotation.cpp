#include "kavo_ops/linalg/svd/bidiagonal_qr/rotation.h"

#include <algorithm>
#include <cmath>

#include "kavo_ops/linalg/scaling/power_of_two.h"

namespace kavo_ops {
namespace {

constexpr double kRtMin = 0x1p-511 * (1.0 + 0x1p-52);               // sqrt(safmin) rounded up
const double kRtMax = std::sqrt(0x1.fffffffffffffp1023 / 2.0) * (1.0 - 0x1p-52);

}  // namespace

Rotation make_rotation(double f, double g) noexcept {
  if (g == 0.0) return {1.0, 0.0, f};
  const double largest = std::max(std::fabs(f), std::fabs(g));
  int t = 0;
  if (largest != 0.0 && std::isfinite(largest) && (largest < kRtMin || largest > kRtMax)) {
    t = binary_exponent(largest);
    f = scale_by_power_of_two(f, -t);
    g = scale_by_power_of_two(g, -t);
  }
  const double r = std::sqrt(f * f + g * g);
  return {f / r, g / r, scale_by_power_of_two(r, t)};
}

}  // namespace kavo_ops
