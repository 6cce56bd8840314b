#include <cmath>

#include "kavo/iter/element_iter.h"
#include "kavo_ops/linalg/matexp/matexp.h"

namespace kavo_ops {

kavo::Expected<int> matexp_scaling_exponent(const kavo::View<double, 2>& a) {
  const std::uint64_t rows = a.layout.shape[0];
  const std::uint64_t cols = a.layout.shape[1];
  auto walk = kavo::elements(a);
  double norm = 0.0;
  for (std::uint64_t i = 0; i < rows; ++i) {
    double row_sum = 0.0;
    for (std::uint64_t j = 0; j < cols; ++j) {
      auto value = walk.next();
      platform::ensure(value.has_value(), "in bounds");
      row_sum += std::fabs(*value);
    }
    if (row_sum > norm) norm = row_sum;
  }
  // Halvings are exact; 1024 of them cannot bring a finite norm to 1/2, and
  // an infinite one (an overflowed row sum) never gets there.
  int s = 0;
  while (norm > 0.5) {
    norm *= 0.5;
    ++s;
    if (s >= 1024) return kavo::storage_error("matrix exponential scaling exponent overflow");
  }
  return s;
}

}  // namespace kavo_ops
