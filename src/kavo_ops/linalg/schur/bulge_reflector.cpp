#include <algorithm>
#include <cmath>
#include <limits>

#include "kavo_ops/linalg/scaling/power_of_two.h"
#include "kavo_ops/linalg/schur/francis_steps.h"

namespace kavo_ops::francis {
namespace {

// Inside this window the sum of three squares neither overflows nor loses
// precision to underflow (LAPACK DLARFG's rtmin and rtmax).
const double kRtMin = std::sqrt(kSafmin) * (1.0 + 0x1p-52);
const double kRtMax = std::sqrt(std::numeric_limits<double>::max() / 4.0) * (1.0 - 0x1p-52);

}  // namespace

std::optional<BulgeReflector> bulge_reflector(const double* x, std::size_t r) noexcept {
  if (x[1] == 0.0 && (r == 2 || x[2] == 0.0)) return std::nullopt;
  double y[3] = {x[0], x[1], r == 3 ? x[2] : 0.0};
  double mx = 0.0;
  for (std::size_t i = 0; i < r; ++i) mx = std::max(mx, std::fabs(y[i]));
  int e = 0;
  if (mx != 0.0 && std::isfinite(mx) && (mx < kRtMin || mx > kRtMax)) {
    e = binary_exponent(mx);
    for (std::size_t i = 0; i < r; ++i) y[i] = scale_by_power_of_two(y[i], -e);
  }
  double squares = y[0] * y[0] + y[1] * y[1];
  if (r == 3) squares += y[2] * y[2];
  const double nu = std::sqrt(squares);
  const double beta = y[0] < 0.0 ? nu : -nu;
  const double head = y[0] - beta;
  return BulgeReflector{y[1] / head, r == 3 ? y[2] / head : 0.0, (beta - y[0]) / beta,
                        scale_by_power_of_two(beta, e)};
}

}  // namespace kavo_ops::francis
