#include "kavo_ops/linalg/svd/svd_input.h"

#include <algorithm>
#include <cmath>

#include "kavo_ops/linalg/common/finite_input.h"
#include "kavo_ops/linalg/scaling/power_of_two.h"

namespace kavo_ops {
kavo::Expected<std::optional<ScaledCopy>> screen_and_gate_svd_input(const kavo::View<double, 2>& a) {
  const std::uint64_t m = a.layout.shape[0];
  const std::uint64_t n = a.layout.shape[1];
  if (m == 0 || n == 0) {
    return std::unexpected<kavo::ArrayError>(
        kavo::ShapeMismatch{{m, n}, {std::max<std::uint64_t>(m, 1), std::max<std::uint64_t>(n, 1)}});
  }
  if (!all_finite(a)) {
    return kavo::storage_error("SVD input contains a non-finite value", kavo::FailureKind::non_finite_input);
  }
  return gate_svd(a, m, n);
}

kavo::Expected<void> scale_singular_values_back(std::span<double> values, int exponent) {
  for (double& value : values) {
    value = scale_by_power_of_two(value, exponent);
    if (std::isinf(value)) return kavo::overflow("singular value exceeds the scalar range");
  }
  return {};
}

}  // namespace kavo_ops
