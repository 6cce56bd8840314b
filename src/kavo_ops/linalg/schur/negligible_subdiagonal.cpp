#include <algorithm>
#include <cmath>

#include "kavo_ops/linalg/schur/francis_steps.h"

namespace kavo_ops::francis {

double neighbour_sum(const ActiveMatrix& m, std::size_t k) noexcept {
  double s = std::fabs(m.at(k - 1, k - 1)) + std::fabs(m.at(k, k));
  if (k >= 2) s += std::fabs(m.at(k - 1, k - 2));
  if (k + 1 < m.n) s += std::fabs(m.at(k + 1, k));
  return s;
}

bool negligible_subdiagonal(const ActiveMatrix& m, std::size_t k, double floor, bool relaxed) noexcept {
  const double sub = std::fabs(m.at(k, k - 1));
  if (sub <= floor) return true;
  if (relaxed) return sub <= kUlp * neighbour_sum(m, k);

  double tst = std::fabs(m.at(k - 1, k - 1)) + std::fabs(m.at(k, k));
  if (tst == 0.0) {
    if (k >= 2) tst += std::fabs(m.at(k - 1, k - 2));
    if (k + 1 < m.n) tst += std::fabs(m.at(k + 1, k));
  }
  if (sub > kUlp * tst) return false;
  // Ahues & Tisseur's refinement (LAPACK Working Note 122): compare the
  // product of the off-diagonal pair with the diagonal gap.
  const double sup = std::fabs(m.at(k - 1, k));
  const double ab = std::max(sub, sup);
  const double ba = std::min(sub, sup);
  const double gap = std::fabs(m.at(k - 1, k - 1) - m.at(k, k));
  const double aa = std::max(std::fabs(m.at(k, k)), gap);
  const double bb = std::min(std::fabs(m.at(k, k)), gap);
  const double sigma = aa + ab;
  return ba * (ab / sigma) <= std::max(floor, kUlp * (bb * (aa / sigma)));
}

}  // namespace kavo_ops::francis
