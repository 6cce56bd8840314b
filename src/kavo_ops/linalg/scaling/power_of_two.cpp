#include "kavo_ops/linalg/scaling/power_of_two.h"

#include <bit>
#include <cmath>
#include <cstdint>

namespace kavo_ops {
namespace {

// 2^k for a normal exponent k, built from its bit pattern.
double normal_power(int k) noexcept {
  return std::bit_cast<double>(static_cast<std::uint64_t>(k + 1023) << 52);
}

}  // namespace

int binary_exponent(double x) noexcept {
  if (x == 0.0 || !std::isfinite(x)) return 0;
  return std::ilogb(x);
}

double scale_by_power_of_two(double x, int e) noexcept {
  while (e > 1023) {
    x *= normal_power(1023);
    e -= 1023;
  }
  while (e < -1022) {
    x *= normal_power(-969);
    e += 969;
  }
  return x * normal_power(e);
}

}  // namespace kavo_ops
