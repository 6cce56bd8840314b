#include <algorithm>
#include <cmath>

#include "kavo/constructors/constructors.h"
#include "kavo_ops/linalg/common/finite_input.h"
#include "kavo_ops/linalg/hessenberg/hessenberg.h"
#include "kavo_ops/linalg/scaling/power_of_two.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {

kavo::Expected<HessenbergForm> reduce_owned_to_hessenberg(kavo::OwnedArray<double, 2> a, bool form_q) {
  const std::size_t n = a.layout().shape[0];
  platform::ensure(a.layout().shape[1] == n && a.storage_len() == n * n, "invariant: Hessenberg input is a dense square copy");
  double* h = a.data();
  if (auto finite = require_finite({h, n * n}, "Hessenberg"); !finite) return std::unexpected(std::move(finite.error()));

  std::optional<kavo::OwnedArray<double, 2>> q;
  if (form_q) {
    kavo::Buffer<double> identity(n * n);
    for (std::size_t i = 0; i < n; ++i) identity[i * n + i] = 1.0;
    q = kavo::expect_valid(kavo::from_vector<double, 2>({n, n}, std::move(identity)), "Q shape matches storage");
  }

  double largest = 0.0;
  for (std::size_t i = 0; i < n * n; ++i) largest = std::max(largest, std::fabs(h[i]));
  const int s = hessenberg_scale_exponent(largest, n);
  if (s != 0) {
    for (std::size_t i = 0; i < n * n; ++i) h[i] = scale_by_power_of_two(h[i], -s);
  }

  hessenberg_sweep(h, n, q ? q->data() : nullptr);

  if (s != 0) {
    for (std::size_t i = 0; i < n * n; ++i) {
      h[i] = scale_by_power_of_two(h[i], s);
      if (!std::isfinite(h[i])) return kavo::overflow("Hessenberg form entry exceeds the scalar range");
    }
  }
  return HessenbergForm{std::move(a), std::move(q)};
}

}  // namespace kavo_ops
