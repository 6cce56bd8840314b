#pragma once
// What the pieces of the bidiagonal QR iteration share: the bidiagonal, the
// rotation logs of the transposed factors (null when values only) and the
// tolerances fixed for the whole decomposition.

#include <cstddef>
#include <span>

#include "kavo_ops/linalg/svd/bidiagonal_qr/rotation_log.h"

namespace kavo_ops {

// tol = eps^(7/8) = 2^-45.5: the relative accuracy asked of every value.
inline constexpr double kQrTolerance = 2.0097183471152322e-14;

struct QrState {
  std::span<double> d;
  std::span<double> e;
  RotationLog* u = nullptr;  // rows of B are columns of U
  RotationLog* v = nullptr;  // columns of B are columns of V
  double thresh = 0.0;       // absolute floor for superdiagonal entries

  void rotate_u(std::size_t first, std::size_t second, double c, double s) const {
    if (u) u->rotate(first, second, c, s);
  }
  void rotate_v(std::size_t first, std::size_t second, double c, double s) const {
    if (v) v->rotate(first, second, c, s);
  }
};

}  // namespace kavo_ops
