#include <cmath>

#include "kavo_ops/linalg/householder/householder_reflector.h"
#include "kavo_ops/linalg/scaling/power_of_two.h"

namespace kavo_ops {
namespace {

// Plain sum of squares, one accumulator in increasing index order.
double square_sum(std::span<const double> v) noexcept {
  double total = 0.0;
  for (double value : v) total += value * value;
  return total;
}

}  // namespace

std::optional<HouseholderReflector> generate_reflector(std::span<const double> x) {
  if (x.size() < 2) return std::nullopt;
  bool tail_is_zero = true;
  for (std::size_t i = 1; i < x.size(); ++i) {
    if (x[i] != 0.0) {  // NaN compares unequal, so it counts as nonzero
      tail_is_zero = false;
      break;
    }
  }
  if (tail_is_zero) return std::nullopt;

  double largest = 0.0;
  for (double value : x) {
    const double magnitude = std::fabs(value);
    if (magnitude > largest) largest = magnitude;  // NaN never compares greater
  }
  if (largest == 0.0) return std::nullopt;

  HouseholderReflector h;
  h.v.assign(x.begin(), x.end());
  const int exponent = binary_exponent(largest);
  for (double& value : h.v) value = scale_by_power_of_two(value, -exponent);

  const double s = std::sqrt(square_sum(h.v));
  // -0 takes the branch of +0; a NaN head gives -s.
  const double signed_norm = h.v[0] < 0.0 ? s : -s;
  h.v[0] -= signed_norm;
  h.tau = 2.0 / square_sum(h.v);
  h.beta = scale_by_power_of_two(signed_norm, exponent);
  return h;
}

}  // namespace kavo_ops
