#include <algorithm>

#include "kavo/assign/to_row_major.h"
#include "kavo_ops/linalg/common/finite_input.h"
#include "kavo_ops/linalg/qr/qr.h"
#include "kavo_ops/linalg/reflector_block/reflector_block.h"

namespace kavo_ops {

kavo::Expected<QrDecomposition> qr_decompose(const kavo::View<double, 2>& a, QrPanelPolicy policy) {
  const std::uint64_t m = a.layout.shape[0];
  const std::uint64_t n = a.layout.shape[1];
  if (m < n) {
    return std::unexpected<kavo::ArrayError>(kavo::ShapeMismatch{{m, n}, {n, n}});
  }
  QrDecomposition qr{kavo::to_row_major_owned(a), std::vector<double>(n, 0.0), std::vector<double>(n, 0.0), m, n};
  double* values = qr.packed.data();
  if (auto finite = require_finite({values, m * n}, "QR"); !finite) return std::unexpected(std::move(finite.error()));

  const std::uint64_t panel = n < policy.blocked_from ? std::max<std::uint64_t>(n, 1) : policy.panel_width;
  const std::span<double> storage(values, m * n);
  for (std::uint64_t first = 0; first < n; first += panel) {
    const std::uint64_t end = std::min(first + panel, n);
    for (std::uint64_t k = first; k < end; ++k) {
      auto reflected = qr_reflect_column(values, m, n, k, end, qr.heads[k], qr.taus[k]);
      if (!reflected) return std::unexpected(std::move(reflected.error()));
    }
    if (end < n) {
      const ReflectorBlock block = accumulate_reflector_block(storage, n, m, first, end, qr.heads, qr.taus);
      apply_reflector_block(block, storage, n, first, end, n);
    }
  }
  return qr;
}

}  // namespace kavo_ops
