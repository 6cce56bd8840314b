#include <algorithm>

#include "kavo/storage/buffer.h"
#include "kavo_ops/linalg/lu/lu_eliminate.h"
#include "kavo_ops/slice_kernels/slice_kernel_table.h"
#include "platform/interrupt.h"

namespace kavo_ops {
namespace {

// Rows k in [f, e) of U12 by forward substitution with the panel's unit
// lower triangle: A[k][c] -= sum_{t=f}^{k-1} A[k][t] * A[t][c], the sum
// accumulated from zero over t ascending in `sum` (one row of n - e).
void u12_by_sums(double* a, std::uint64_t n, std::uint64_t f, std::uint64_t e, double* sum) {
  const auto axpy = active_slice_kernels().axpy_f64;
  const std::uint64_t width = n - e;
  for (std::uint64_t k = f + 1; k < e; ++k) {
    double* row_k = a + k * n + e;
    std::fill(sum, sum + width, 0.0);
    for (std::uint64_t t = f; t < k; ++t) axpy(a[k * n + t], a + t * n + e, sum, width);
    for (std::uint64_t c = 0; c < width; ++c) row_k[c] -= sum[c];
  }
}

}  // namespace

kavo::Expected<void> lu_factor_panels(LuFactors& lu) {
  const std::uint64_t n = lu.n;
  double* a = lu.factors.data();
  // Both product operands, allocated once and reused by every panel; the
  // first also serves as the U12 row sum before it is packed.
  kavo::Buffer<double> neg_l21(n * kLuPanelWidth);
  kavo::Buffer<double> u12(n * kLuPanelWidth);
  for (std::uint64_t f = 0; f < n; f += kLuPanelWidth) {
    platform::throw_if_interrupted();
    const std::uint64_t e = std::min(n, f + kLuPanelWidth);
    for (std::uint64_t j = f; j < e; ++j) {
      if (auto step = lu_eliminate_column(lu, j, e); !step) return step;
    }
    if (e == n) break;
    u12_by_sums(a, n, f, e, neg_l21.data());
    lu_trailing_update(a, n, f, e, neg_l21.data(), u12.data());
  }
  return {};
}

}  // namespace kavo_ops
