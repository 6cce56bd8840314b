#include "kavo_ops/linalg/common/symmetric_input.h"

#include <cmath>
#include <string>

#include "kavo_ops/linalg/common/finite_input.h"

namespace kavo_ops {

kavo::Expected<double> require_symmetric_input(const double* a, std::uint64_t n, const char* factorization) {
  if (auto finite = require_finite({a, n * n}, factorization); !finite) return std::unexpected(std::move(finite.error()));
  double largest = 0.0;
  for (std::uint64_t i = 0; i < n * n; ++i) largest = std::fmax(largest, std::abs(a[i]));
  const double tolerance = 1e-9 * largest;
  for (std::uint64_t i = 0; i < n; ++i) {
    for (std::uint64_t j = i + 1; j < n; ++j) {
      if (std::abs(a[i * n + j] - a[j * n + i]) > tolerance) {
        return kavo::storage_error(std::string(factorization) + " requires a symmetric matrix",
                                   kavo::FailureKind::asymmetric_input);
      }
    }
  }
  return largest;
}

}  // namespace kavo_ops
