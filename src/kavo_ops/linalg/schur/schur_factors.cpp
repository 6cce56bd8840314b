#include <cmath>

#include "kavo/assign/to_row_major.h"
#include "kavo/constructors/constructors.h"
#include "kavo_ops/linalg/common/square_order.h"
#include "kavo_ops/linalg/scaling/power_of_two.h"
#include "kavo_ops/linalg/schur/francis_steps.h"
#include "kavo_ops/linalg/schur/schur.h"
#include "kavo_ops/linalg/schur/schur_input.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {

kavo::Expected<SchurFactors> schur_factors(const kavo::View<double, 2>& a) {
  auto order = square_order(a.layout);
  if (!order) return std::unexpected(std::move(order.error()));
  const std::uint64_t n = *order;
  if (n == 0) return SchurFactors{kavo::zeros<double, 2>({0, 0}), kavo::zeros<double, 2>({0, 0})};

  auto input = schur_input(a, n, true);
  if (!input) return std::unexpected(std::move(input.error()));
  kavo::OwnedArray<double, 2> t = std::move(input->form.h);
  kavo::OwnedArray<double, 2> q = std::move(*input->form.q);

  // Z is carried transposed so its reflector and rotation updates run
  // along rows (francis_steps.h).
  kavo::Buffer<double> zt(n * n);
  kavo::transpose_tiled(q.data(), zt.data(), n, n);
  francis::ActiveMatrix m{t.data(), n, zt.data(), true};
  if (n >= 3) {
    if (auto done = francis::iterate_to_quasi_triangle(m); !done) return std::unexpected(std::move(done.error()));
  }
  francis::standardize_quasi_triangle(m, nullptr);
  kavo::transpose_tiled(zt.data(), q.data(), n, n);

  if (input->exponent != 0) {
    double* entries = t.data();
    for (std::uint64_t i = 0; i < n * n; ++i) {
      entries[i] = scale_by_power_of_two(entries[i], input->exponent);
      if (!std::isfinite(entries[i])) return kavo::overflow("Schur form entry exceeds the scalar range");
    }
  }
  const kavo::Extents<2> square{n, n};
  platform::ensure(q.layout().shape == square && q.storage_len() == n * n, "Q shape matches storage");
  platform::ensure(t.layout().shape == square && t.storage_len() == n * n, "T shape matches storage");
  return SchurFactors{std::move(q), std::move(t)};
}

}  // namespace kavo_ops
