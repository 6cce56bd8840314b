#include "kavo_ops/linalg/qr/qr.h"

namespace kavo_ops {

kavo::Expected<QrFactors> qr_factors(const kavo::View<double, 2>& a, QrPanelPolicy policy) {
  auto qr = qr_decompose(a, policy);
  if (!qr) return std::unexpected(std::move(qr.error()));
  return QrFactors{qr_form_q(*qr), qr_form_r(*qr)};
}

}  // namespace kavo_ops
