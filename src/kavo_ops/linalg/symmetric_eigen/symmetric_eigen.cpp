#include "kavo_ops/linalg/symmetric_eigen/symmetric_eigen.h"

#include <cmath>

#include "kavo/assign/to_row_major.h"
#include "kavo_ops/linalg/common/square_order.h"
#include "kavo_ops/linalg/scaling/power_of_two.h"
#include "kavo_ops/linalg/scaling/scaling_gate.h"
#include "kavo_ops/linalg/symmetric_eigen/eigenpair_order.h"
#include "kavo_ops/linalg/symmetric_eigen/jacobi_input_screen.h"
#include "kavo_ops/linalg/symmetric_eigen/jacobi_iterate.h"

namespace kavo_ops {

kavo::Expected<SymmetricEigen> symmetric_eigen(const kavo::View<double, 2>& a) {
  auto order = square_order(a.layout);
  if (!order) return std::unexpected(std::move(order.error()));
  const std::uint64_t n = *order;

  kavo::OwnedArray<double, 2> work = kavo::to_row_major_owned(a);
  if (auto screened = screen_symmetric_input(work.data(), n); !screened) {
    return std::unexpected(std::move(screened.error()));
  }
  // The gate bounds the largest entry by DBL_MAX·2^(-X-1), ‖A‖_F ≤ 2^X·max,
  // so every rotated entry, 2·a_pq and a_qq - a_pp stay finite.
  auto gate = gate_symmetric(work.view(), n);
  if (!gate) return std::unexpected(std::move(gate.error()));
  int exponent = 0;
  if (*gate) {
    exponent = (*gate)->exponent;
    work = std::move((*gate)->matrix);
  }

  double* w = work.data();
  const double norm = frobenius_norm_by_largest(w, n * n);
  kavo::Buffer<double> vt(n * n);
  for (std::uint64_t k = 0; k < n; ++k) vt[k * n + k] = 1.0;
  const std::uint64_t limit = jacobi_rotation_limit(n);
  const JacobiRun run = jacobi_iterate(w, vt.data(), n, 0x1p-52 * norm, limit, JacobiSearch::tracked);
  if (!run.converged) {
    return std::unexpected<kavo::ArrayError>(kavo::ConvergenceError{limit, run.last.magnitude / norm, 0x1p-52});
  }

  kavo::Buffer<double> values(n);
  for (std::uint64_t k = 0; k < n; ++k) {
    values[k] = scale_by_power_of_two(w[k * n + k], exponent);
    if (std::isinf(values[k])) return kavo::overflow("Jacobi eigensolver: an eigenvalue exceeds the scalar range");
  }
  return order_eigenpairs(std::move(values), vt.data(), n);
}

}  // namespace kavo_ops
