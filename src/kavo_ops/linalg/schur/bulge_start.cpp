#include <cmath>

#include "kavo_ops/linalg/schur/francis_steps.h"

namespace kavo_ops::francis {

BulgeStart bulge_start(const ActiveMatrix& mat, std::size_t lo, std::size_t hi, const Shifts& sh) noexcept {
  BulgeStart start{};
  for (std::size_t m = hi - 2;; --m) {
    const double h21s = mat.at(m + 1, m);
    const double hmm = mat.at(m, m);
    // Scaled by t so the products of the two shifted diagonals cannot overflow.
    const double t = std::fabs(hmm - sh.r2) + std::fabs(sh.i2) + std::fabs(h21s);
    const double q = h21s / t;
    double v1 = q * mat.at(m, m + 1) + (hmm - sh.r1) * ((hmm - sh.r2) / t) - sh.i1 * (sh.i2 / t);
    double v2 = q * (hmm + mat.at(m + 1, m + 1) - sh.r1 - sh.r2);
    double v3 = q * mat.at(m + 2, m + 1);
    const double sum = std::fabs(v1) + std::fabs(v2) + std::fabs(v3);
    if (sum > 0.0) {
      v1 /= sum;
      v2 /= sum;
      v3 /= sum;
    }
    start = {m, {v1, v2, v3}};
    if (m == lo) break;
    // The bulge may start here when the entry it would create in column
    // m-1 is negligible against the diagonal around it.
    const double created = std::fabs(mat.at(m, m - 1)) * (std::fabs(v2) + std::fabs(v3));
    const double around =
        kUlp * std::fabs(v1) * (std::fabs(mat.at(m - 1, m - 1)) + std::fabs(hmm) + std::fabs(mat.at(m + 1, m + 1)));
    if (created <= around) break;
  }
  return start;
}

}  // namespace kavo_ops::francis
