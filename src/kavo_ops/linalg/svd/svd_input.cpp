#include "kavo_ops/linalg/svd/svd_input.h"

#include <algorithm>
#include <cmath>

#include "kavo/iter/element_iter.h"
#include "kavo/layout/contiguity.h"
#include "kavo_ops/linalg/scaling/power_of_two.h"

namespace kavo_ops {
namespace {

bool all_finite(const kavo::View<double, 2>& a, std::uint64_t count) {
  const kavo::Layout<2>& layout = a.layout;
  const bool window_fits = layout.offset <= a.len && count <= a.len - layout.offset;
  if (kavo::is_c_contiguous(layout) && window_fits) {
    const double* values = a.data + layout.offset;
    return std::all_of(values, values + count, [](double x) { return std::isfinite(x); });
  }
  auto walk = kavo::elements(a);
  for (std::uint64_t i = 0; i < count; ++i) {
    if (!std::isfinite(*walk.next())) return false;
  }
  return true;
}

}  // namespace

kavo::Expected<std::optional<ScaledCopy>> screen_and_gate_svd_input(const kavo::View<double, 2>& a) {
  const std::uint64_t m = a.layout.shape[0];
  const std::uint64_t n = a.layout.shape[1];
  if (m == 0 || n == 0) {
    return std::unexpected<kavo::ArrayError>(
        kavo::ShapeMismatch{{m, n}, {std::max<std::uint64_t>(m, 1), std::max<std::uint64_t>(n, 1)}});
  }
  if (!all_finite(a, m * n)) {
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
