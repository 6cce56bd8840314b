#include <span>
#include <vector>

#include "kavo_ops/linalg/hessenberg/hessenberg.h"
#include "kavo_ops/linalg/hessenberg/hessenberg_step.h"
#include "kavo_ops/linalg/householder/householder_reflector.h"
#include "platform/interrupt.h"

namespace kavo_ops {

void hessenberg_sweep(double* h, std::size_t n, double* q, const HessenbergSplit& split) {
  if (n <= 2) return;
  // The gathered column segment below the diagonal, then the left update's
  // scaled column sums.
  std::vector<double> scratch(2 * n);
  double* column = scratch.data();
  double* w = column + n;
  const bool record = n >= split.record_from;
  SweepReflectors reflectors;
  if (record) reflectors.reserve(n);
  for (std::size_t i = 0; i + 2 < n; ++i) {
    platform::throw_if_interrupted();
    const std::size_t len = n - i - 1;
    for (std::size_t r = 0; r < len; ++r) column[r] = h[(i + 1 + r) * n + i];
    const auto reflector = generate_reflector(std::span<const double>(column, len));
    if (!reflector) continue;
    reflect_hessenberg_step(h, n, i, *reflector, record ? i + 1 : 0, w, split);
    if (record) {
      reflectors.push(i, *reflector);
    } else if (q) {
      apply_q_right_update(q, n, i, *reflector);
    }
  }
  apply_recorded_right_updates(h, n, q, reflectors, split);
  // The left updates leave rounding residue where the reflectors annihilated.
  for (std::size_t r = 2; r < n; ++r) {
    for (std::size_t c = 0; c + 1 < r; ++c) h[r * n + c] = 0.0;
  }
}

}  // namespace kavo_ops
