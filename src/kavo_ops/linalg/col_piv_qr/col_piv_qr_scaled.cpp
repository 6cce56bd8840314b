#include <cmath>

#include "kavo_ops/linalg/col_piv_qr/col_piv_qr.h"
#include "kavo_ops/linalg/scaling/power_of_two.h"
#include "kavo_ops/linalg/scaling/scaling_gate.h"

namespace kavo_ops {

kavo::Expected<ColPivQr> col_piv_qr(const kavo::View<double, 2>& a) {
  auto gate = gate_col_piv_qr(a, a.layout.shape[0]);
  if (!gate) return std::unexpected(std::move(gate.error()));
  if (!gate->has_value()) return col_piv_qr_decompose(a);

  const int exponent = (*gate)->exponent;
  auto result = col_piv_qr_decompose((*gate)->matrix.view());
  if (!result) return result;
  double* r = result->r.data();
  for (std::uint64_t i = 0; i < result->m * result->n; ++i) {
    r[i] = scale_by_power_of_two(r[i], exponent);
    if (!std::isfinite(r[i])) return kavo::overflow("R entry exceeds the scalar range");
  }
  return result;
}

}  // namespace kavo_ops
