#include <algorithm>
#include <string>

#include "kavo/assign/to_row_major.h"
#include "kavo_ops/linalg/common/finite_input.h"
#include "kavo_ops/linalg/qr/qr.h"
#include "kavo_ops/linalg/reflector_block/reflector_block.h"
#include "platform/interrupt.h"

namespace kavo_ops {
namespace {

std::unexpected<kavo::ArrayError> zero_norm(std::uint64_t k) {
  return kavo::storage_error("QR pivot column " + std::to_string(k) + " has zero norm: matrix is rank-deficient",
                             kavo::FailureKind::zero_norm_column);
}

}  // namespace

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
  std::vector<double> compact;
  for (std::uint64_t first = 0; first < n; first += panel) {
    platform::throw_if_interrupted();
    const std::uint64_t end = std::min(first + panel, n);
    if (end == n && first == 0) {
      for (std::uint64_t k = 0; k < n; ++k) {
        if (!qr_reflect_column(values, m, n, k, n, qr.heads[k], qr.taus[k])) return zero_norm(k);
      }
      break;
    }
    // A narrow panel of a wide matrix is factored in a compact copy: its
    // rows would otherwise lie pages apart.
    const std::uint64_t rows = m - first;
    const std::uint64_t width = end - first;
    compact.resize(rows * width);
    for (std::uint64_t i = 0; i < rows; ++i) {
      const double* source = values + (first + i) * n + first;
      std::copy(source, source + width, compact.data() + i * width);
    }
    for (std::uint64_t k = first; k < end; ++k) {
      if (!qr_reflect_column(compact.data(), rows, width, k - first, width, qr.heads[k], qr.taus[k])) {
        return zero_norm(k);
      }
    }
    for (std::uint64_t i = 0; i < rows; ++i) {
      std::copy(compact.data() + i * width, compact.data() + (i + 1) * width, values + (first + i) * n + first);
    }
    if (end < n) {
      const ReflectorBlock block = accumulate_reflector_block(storage, n, m, first, end, qr.heads, qr.taus);
      apply_reflector_block(block, storage, n, first, end, n);
    }
  }
  return qr;
}

}  // namespace kavo_ops
