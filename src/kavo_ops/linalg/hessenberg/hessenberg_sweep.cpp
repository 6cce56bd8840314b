#include <span>
#include <vector>

#include "kavo_ops/linalg/hessenberg/hessenberg.h"
#include "kavo_ops/linalg/householder/householder_reflector.h"
#include "platform/interrupt.h"

namespace kavo_ops {

void hessenberg_sweep(double* h, std::size_t n, double* q) {
  if (n <= 2) return;
  const std::span<double> hs(h, n * n);
  std::vector<double> column(n);  // the gathered column segment below the diagonal
  for (std::size_t i = 0; i + 2 < n; ++i) {
    platform::throw_if_interrupted();
    const std::size_t len = n - i - 1;
    for (std::size_t r = 0; r < len; ++r) column[r] = h[(i + 1 + r) * n + i];
    const auto reflector = generate_reflector(std::span<const double>(column.data(), len));
    if (!reflector) continue;
    apply_reflector_left(*reflector, hs, n, i + 1, i, n);
    apply_reflector_right(*reflector, hs, n, 0, n, i + 1);
    // Row 0 of Q stays e_0 (it is zero in every reflected column), so the
    // sweep over it would only add zeros: skipping it keeps every bit.
    if (q) apply_reflector_right(*reflector, std::span<double>(q, n * n), n, 1, n, i + 1);
  }
  // The left updates leave rounding residue where the reflectors annihilated.
  for (std::size_t r = 2; r < n; ++r) {
    for (std::size_t c = 0; c + 1 < r; ++c) h[r * n + c] = 0.0;
  }
}

}  // namespace kavo_ops
