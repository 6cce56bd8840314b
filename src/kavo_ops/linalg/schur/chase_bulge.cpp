#include <algorithm>

#include "kavo_ops/linalg/schur/francis_steps.h"

namespace kavo_ops::francis {

void chase_bulge(ActiveMatrix& mat, std::size_t lo, std::size_t hi, const BulgeStart& start) noexcept {
  const std::size_t m = start.m;
  const std::size_t n = mat.n;
  const std::size_t last_column = mat.full ? n : hi + 1;  // exclusive
  const std::size_t first_row = mat.full ? 0 : lo;
  for (std::size_t k = m; k < hi; ++k) {
    const std::size_t r = std::min<std::size_t>(3, hi - k + 1);
    double x[3];
    if (k == m) {
      x[0] = start.v[0];
      x[1] = start.v[1];
      x[2] = start.v[2];
    } else {
      for (std::size_t i = 0; i < r; ++i) x[i] = mat.at(k + i, k - 1);
    }
    const auto p = bulge_reflector(x, r);
    if (!p) continue;
    if (k > m) {
      mat.at(k, k - 1) = p->beta;
      mat.at(k + 1, k - 1) = 0.0;
      if (r == 3) mat.at(k + 2, k - 1) = 0.0;
    } else if (m > lo) {
      // The start reflector also scales the entry left of the bulge, which
      // the start test judged negligible only against its neighbours
      // (DLAHQR keeps it as h(k,k-1)·(1 - τ)).
      mat.at(k, k - 1) *= (1.0 - p->tau);
    }
    reflect_bulge_left(mat.h, n, k, r, k, last_column, *p);
    reflect_bulge_right(mat.h, n, first_row, std::min(k + 3, hi), k, r, *p);
    if (mat.zt) reflect_bulge_transposed(mat.zt, n, k, r, *p);
  }
}

}  // namespace kavo_ops::francis
