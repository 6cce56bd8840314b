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

// a: row-major n x n, its upper triangle the symmetric matrix (the lower
// one may be stale); vt: the eigenvector matrix transposed (row k holds
// column k of V). For every m ≠ p, q
//   a_mp' = c·a_mp - s·a_mq,  a_mq' = c·a_mq + s·a_mp  (both symmetric positions),
// with the old values
//   a_pp' = c²·a_pp + s²·a_qq - 2cs·a_pq,  a_qq' = s²·a_pp + c²·a_qq + 2cs·a_pq,
//   a_pq' = a_qp' = 0,
// and for every k: v_kp' = c·v_kp - s·v_kq, v_kq' = c·v_kq + s·v_kp.
// Rows p and q are made whole from the upper triangle (their left parts
// read down columns p and q), rotated as contiguous runs, and copied back
// into columns p and q above the diagonal; the rest of the lower triangle
// is left as it was, which halves the scattered writes of keeping both
// triangles current. Rows p and q are whole afterwards.
void jacobi_rotate(double* a, double* vt, std::uint64_t n, std::uint64_t p, std::uint64_t q,
                   JacobiAngle angle) noexcept;

// a's lower triangle copied from its upper one: exactly symmetric again.
void mirror_upper_triangle(double* a, std::uint64_t n) noexcept;

}  // namespace kavo_ops
