#pragma once
// SVD of the upper-triangular 2 x 2 [[f, g], [0, h]] by the construction of
// LAPACK dlasv2 (Demmel and Kahan): signed singular values with
// |ssmax| >= |ssmin| and rotations such that
//   [cl sl; -sl cl] [f g; 0 h] [cr -sr; sr cr] = diag(ssmax, ssmin),
// accurate to a few ulps relative to each singular value. The cut-off
// 2^-53 decides when |g| so dominates that the usual formulas are replaced
// by their limits.

namespace kavo_ops {

struct TwoByTwoSvd {
  double ssmax = 0.0;
  double ssmin = 0.0;
  double cl = 1.0, sl = 0.0;  // left rotation
  double cr = 1.0, sr = 0.0;  // right rotation
};

TwoByTwoSvd two_by_two_svd(double f, double g, double h) noexcept;

}  // namespace kavo_ops
