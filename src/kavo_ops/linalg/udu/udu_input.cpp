#include "kavo_ops/linalg/udu/udu_input.h"

#include <cmath>

#include "kavo_ops/linalg/common/finite_input.h"

namespace kavo_ops {

kavo::Expected<double> udu_screen_input(const double* a, std::uint64_t n) {
  if (auto finite = require_finite({a, n * n}, "UDU"); !finite) return std::unexpected(std::move(finite.error()));
  double largest = 0.0;
  for (std::uint64_t i = 0; i < n * n; ++i) largest = std::fmax(largest, std::abs(a[i]));
  const double tolerance = 1e-9 * largest;
  for (std::uint64_t i = 0; i < n; ++i) {
    for (std::uint64_t j = i + 1; j < n; ++j) {
      if (std::abs(a[i * n + j] - a[j * n + i]) > tolerance) {
        return kavo::storage_error("UDU requires a symmetric matrix");
      }
    }
  }
  return largest;
}

}  // namespace kavo_ops
