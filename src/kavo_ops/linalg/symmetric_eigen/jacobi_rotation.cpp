#include "kavo_ops/linalg/symmetric_eigen/jacobi_rotation.h"

#include <cmath>

#include "kavo_ops/linalg/symmetric_eigen/rotate_pair.h"

namespace kavo_ops {

JacobiAngle jacobi_angle(double a_pp, double a_qq, double a_pq) noexcept {
  const double theta = 0.5 * std::atan2(2.0 * a_pq, a_qq - a_pp);
  return {std::cos(theta), std::sin(theta)};
}

void jacobi_rotate(double* a, double* vt, std::uint64_t n, std::uint64_t p, std::uint64_t q,
                   JacobiAngle angle) noexcept {
  const double c = angle.c;
  const double s = angle.s;
  double* row_p = a + p * n;
  double* row_q = a + q * n;
  // Rows p and q made whole from the upper triangle: their parts left of
  // the diagonal are columns p and q above it.
  for (std::uint64_t m = 0; m < p; ++m) row_p[m] = a[m * n + p];
  for (std::uint64_t m = 0; m < q; ++m) row_q[m] = a[m * n + q];
  const double a_pp = row_p[p];
  const double a_qq = row_q[q];
  const double a_pq = row_p[q];
  // Row p holds a_mp and row q holds a_mq (symmetry), so the off-plane
  // update is one rotation of two contiguous rows; the four in-plane entries
  // it also touches are overwritten below.
  rotate_pair(row_p, row_q, n, c, s);
  row_p[p] = c * c * a_pp + s * s * a_qq - 2.0 * c * s * a_pq;
  row_q[q] = s * s * a_pp + c * c * a_qq + 2.0 * c * s * a_pq;
  row_p[q] = 0.0;
  row_q[p] = 0.0;
  // Back into columns p and q above the diagonal only.
  for (std::uint64_t m = 0; m < p; ++m) a[m * n + p] = row_p[m];
  for (std::uint64_t m = 0; m < q; ++m) {
    if (m != p) a[m * n + q] = row_q[m];
  }
  rotate_pair(vt + p * n, vt + q * n, n, c, s);
}

void mirror_upper_triangle(double* a, std::uint64_t n) noexcept {
  for (std::uint64_t i = 0; i < n; ++i) {
    for (std::uint64_t j = i + 1; j < n; ++j) a[j * n + i] = a[i * n + j];
  }
}

}  // namespace kavo_ops
