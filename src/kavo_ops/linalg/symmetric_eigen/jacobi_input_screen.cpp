#include "kavo_ops/linalg/symmetric_eigen/jacobi_input_screen.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "kavo_ops/linalg/scaling/power_of_two.h"

namespace kavo_ops {
namespace {

constexpr double kEps = 0x1p-52;

std::string at(std::uint64_t i, std::uint64_t j) {
  return "(" + std::to_string(i) + ", " + std::to_string(j) + ")";
}

double largest_magnitude(const double* a, std::uint64_t count) {
  double largest = 0.0;
  for (std::uint64_t k = 0; k < count; ++k) largest = std::max(largest, std::fabs(a[k]));
  return largest;
}

// √Σ(a_ij/mx)²: the Frobenius norm in units of mx, at most n.
double unit_norm(const double* a, std::uint64_t count, double mx) {
  double sum = 0.0;
  for (std::uint64_t k = 0; k < count; ++k) {
    const double r = a[k] / mx;
    sum += r * r;
  }
  return std::sqrt(sum);
}

}  // namespace

double frobenius_norm_by_largest(const double* a, std::uint64_t count) {
  const double mx = largest_magnitude(a, count);
  if (mx == 0.0) return 0.0;
  return mx * unit_norm(a, count, mx);
}

kavo::Expected<void> screen_symmetric_input(double* a, std::uint64_t n) {
  const std::uint64_t count = n * n;
  for (std::uint64_t k = 0; k < count; ++k) {
    if (!(std::fabs(a[k]) <= std::numeric_limits<double>::max())) {
      return std::unexpected<kavo::ArrayError>(
          kavo::InvalidInput{"symmetric eigensolver input has a non-finite entry at " + at(k / n, k % n),
                             kavo::FailureKind::non_finite_input});
    }
  }
  const double mx = largest_magnitude(a, count);
  // Units of 2^e: mx·2^-e lies in [1, 2), so the norm and every difference stay finite.
  const int e = mx == 0.0 ? 0 : binary_exponent(mx);
  const double norm = mx == 0.0 ? 0.0 : scale_by_power_of_two(mx, -e) * unit_norm(a, count, mx);
  const double allowance = static_cast<double>(n + 2) * kEps * norm;
  for (std::uint64_t i = 0; i < n; ++i) {
    for (std::uint64_t j = i + 1; j < n; ++j) {
      // Split power-of-two factors: 2^-e alone overflows when mx is subnormal.
      const double difference = scale_by_power_of_two(a[i * n + j], -e) - scale_by_power_of_two(a[j * n + i], -e);
      if (std::fabs(difference) > allowance) {
        return std::unexpected<kavo::ArrayError>(
            kavo::InvalidInput{"symmetric eigensolver input is not symmetric at " + at(i, j),
                               kavo::FailureKind::asymmetric_input});
      }
    }
  }
  for (std::uint64_t i = 0; i < n; ++i) {
    for (std::uint64_t j = i + 1; j < n; ++j) a[j * n + i] = a[i * n + j];
  }
  return {};
}

}  // namespace kavo_ops
