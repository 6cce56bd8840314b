#include <algorithm>
#include <bit>
#include <cmath>

#include "kavo_ops/linalg/scaling/power_of_two.h"
#include "kavo_ops/linalg/schur/francis_steps.h"

namespace kavo_ops::francis {

double deflation_floor(const double* h, std::size_t n) noexcept {
  double largest = 0.0;
  for (std::size_t i = 0; i < n * n; ++i) largest = std::max(largest, std::fabs(h[i]));
  if (!(largest > 0.0) || !std::isfinite(largest)) return kSafmin;
  const int e = binary_exponent(largest);
  const int c = n <= 1 ? 0 : static_cast<int>(std::bit_width(n - 1));
  // 2^c·safmin·2^52 = 2^(c-970): the floor grows with the order only until
  // it would pass ε relative to the matrix.
  const int relative = std::min(c - 970, -52);
  return std::max(kSafmin, scale_by_power_of_two(1.0, e - c + relative));
}

}  // namespace kavo_ops::francis
