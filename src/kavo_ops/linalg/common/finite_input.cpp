#include "kavo_ops/linalg/common/finite_input.h"

#include <cmath>
#include <string>

namespace kavo_ops {

kavo::Expected<void> require_finite(std::span<const double> values, const char* factorization) {
  for (double value : values) {
    if (!std::isfinite(value)) {
      return kavo::storage_error(std::string(factorization) + " input contains a non-finite value");
    }
  }
  return {};
}

}  // namespace kavo_ops
