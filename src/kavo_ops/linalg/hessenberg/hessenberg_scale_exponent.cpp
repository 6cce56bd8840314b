#include <bit>
#include <cmath>

#include "kavo_ops/linalg/hessenberg/hessenberg.h"
#include "kavo_ops/linalg/scaling/power_of_two.h"

namespace kavo_ops {
namespace {

// Below this the rounding of products near the subnormal range is no longer
// negligible against ε·max|a|; generous, since the scaling is exact.
constexpr int kLowestExponent = -900;

int ceil_log2(std::size_t n) noexcept { return n <= 1 ? 0 : static_cast<int>(std::bit_width(n - 1)); }

}  // namespace

int hessenberg_scale_exponent(double largest, std::size_t n) noexcept {
  if (!(largest > 0.0) || !std::isfinite(largest)) return 0;
  // Intermediates reach about 4·n^1.5·max|a| (header); 2^(2c) with
  // c = ⌈log₂ n⌉ covers n^1.5 and the factor 4 with margin.
  const int highest = 1021 - 2 * ceil_log2(n);
  const int e = binary_exponent(largest);
  if (e >= kLowestExponent && e < highest) return 0;
  return e;  // brings the largest magnitude into [1, 2)
}

}  // namespace kavo_ops
