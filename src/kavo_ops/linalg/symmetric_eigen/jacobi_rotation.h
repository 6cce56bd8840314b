#pragma once
// One Jacobi step in the plane (p, q): the angle that annihilates a_pq and
// its application to the symmetric matrix and to the eigenvectors.

#include <cstdint>

namespace kavo_ops {

struct JacobiAngle {
  double c;
  double s;
};

// θ = ½·atan2(2·a_pq, a_qq - a_pp); (cos θ, sin θ).
JacobiAngle jacobi_angle(double a_pp, double a_qq, double a_pq) noexcept;

// a: row-major n x n, exactly symmetric, and kept so; vt: the eigenvector
// matrix transposed (row k holds column k of V). For every m ≠ p, q
//   a_mp' = c·a_mp - s·a_mq,  a_mq' = c·a_mq + s·a_mp  (both symmetric positions),
// with the old values
//   a_pp' = c²·a_pp + s²·a_qq - 2cs·a_pq,  a_qq' = s²·a_pp + c²·a_qq + 2cs·a_pq,
//   a_pq' = a_qp' = 0,
// and for every k: v_kp' = c·v_kp - s·v_kq, v_kq' = c·v_kq + s·v_kp.
// Rows p and q are rotated as contiguous runs, then copied into columns p and q.
void jacobi_rotate(double* a, double* vt, std::uint64_t n, std::uint64_t p, std::uint64_t q,
                   JacobiAngle angle) noexcept;

}  // namespace kavo_ops
