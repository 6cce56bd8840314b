#include <cmath>

#include "kavo_ops/linalg/schur/francis_steps.h"

namespace kavo_ops::francis {

Shifts francis_shifts(const ActiveMatrix& m, std::size_t lo, std::size_t hi, unsigned its) noexcept {
  double h11, h12, h21, h22;
  if (its % 20 == 0) {
    // Exceptional shift from the bottom (DLAHQR's constants 3/4 and -0.4375).
    const double s = std::fabs(m.at(hi, hi - 1)) + std::fabs(m.at(hi - 1, hi - 2));
    h11 = 0.75 * s + m.at(hi, hi);
    h12 = -0.4375 * s;
    h21 = s;
    h22 = h11;
  } else if (its % 10 == 0) {
    const double s = std::fabs(m.at(lo + 1, lo)) + std::fabs(m.at(lo + 2, lo + 1));
    h11 = 0.75 * s + m.at(lo, lo);
    h12 = -0.4375 * s;
    h21 = s;
    h22 = h11;
  } else {
    h11 = m.at(hi - 1, hi - 1);
    h12 = m.at(hi - 1, hi);
    h21 = m.at(hi, hi - 1);
    h22 = m.at(hi, hi);
  }
  const double s = std::fabs(h11) + std::fabs(h12) + std::fabs(h21) + std::fabs(h22);
  if (s == 0.0) return {0.0, 0.0, 0.0, 0.0};
  h11 /= s;
  h12 /= s;
  h21 /= s;
  h22 /= s;
  const double tr = (h11 + h22) / 2.0;
  const double det = (h11 - tr) * (h22 - tr) - h12 * h21;
  const double rt = std::sqrt(std::fabs(det));
  if (det >= 0.0) return {tr * s, rt * s, tr * s, -rt * s};
  // Two real eigenvalues of the trailing block: use the one nearer h22 twice.
  const double plus = tr + rt;
  const double minus = tr - rt;
  const double chosen = (std::fabs(plus - h22) <= std::fabs(minus - h22) ? plus : minus) * s;
  return {chosen, 0.0, chosen, 0.0};
}

}  // namespace kavo_ops::francis
