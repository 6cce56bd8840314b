#include <cmath>

#include "kavo_ops/linalg/common/square_order.h"
#include "kavo_ops/linalg/scaling/power_of_two.h"
#include "kavo_ops/linalg/schur/francis_steps.h"
#include "kavo_ops/linalg/schur/schur.h"
#include "kavo_ops/linalg/schur/schur_input.h"

namespace kavo_ops {

kavo::Expected<kavo::Buffer<std::complex<double>>> schur_eigenvalues(const kavo::View<double, 2>& a) {
  auto order = square_order(a.layout);
  if (!order) return std::unexpected(std::move(order.error()));
  const std::uint64_t n = *order;
  if (n == 0) return kavo::Buffer<std::complex<double>>();

  auto input = schur_input(a, n, false);
  if (!input) return std::unexpected(std::move(input.error()));
  francis::ActiveMatrix m{input->form.h.data(), n, nullptr, false};
  if (n >= 3) {
    if (auto done = francis::iterate_to_quasi_triangle(m); !done) return std::unexpected(std::move(done.error()));
  }
  kavo::Buffer<std::complex<double>> values(n);
  francis::standardize_quasi_triangle(m, values.data());

  if (input->exponent != 0) {
    for (std::uint64_t i = 0; i < n; ++i) {
      const double re = scale_by_power_of_two(values[i].real(), input->exponent);
      const double im = scale_by_power_of_two(values[i].imag(), input->exponent);
      if (!std::isfinite(re) || !std::isfinite(im)) return kavo::overflow("eigenvalue exceeds the scalar range");
      values[i] = {re, im};
    }
  }
  return values;
}

}  // namespace kavo_ops
