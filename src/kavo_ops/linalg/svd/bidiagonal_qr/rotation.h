#pragma once
// Plane rotation generator of the bidiagonal QR iteration: (c, s, r) with
// c f + s g = r and -s f + c g = 0. g = 0 gives (1, 0, f); otherwise
// r = sqrt(f^2 + g^2) >= 0 and c carries the sign of f. When max(|f|, |g|)
// is finite and outside [sqrt(safmin)(1 + eps), sqrt(DBL_MAX / 2)(1 - eps)]
// both are first multiplied by 2^-t (t the binary exponent of the larger,
// exact), so the squares neither overflow nor underflow; r is scaled back.
// (LAPACK dlartg's safe scaling, by powers of two only.)

namespace kavo_ops {

struct Rotation {
  double c = 1.0;
  double s = 0.0;
  double r = 0.0;
};

Rotation make_rotation(double f, double g) noexcept;

}  // namespace kavo_ops
