#pragma once
// The reflector generator of the values-only reduction, in place: x (length
// a) becomes [beta, v_1 .. v_{a-1}] with H = I - tau [1, v]^T [1, v] and
// H x = beta e_1 (LAPACK dlarfg's shape). When the largest magnitude lies
// outside [lower, upper] the vector is first taken to 2^-s x (s its binary
// exponent, exact power-of-two products) so the sum of squares neither
// overflows nor underflows; beta is scaled back. beta's sign is opposite to
// x[0] (positive for x[0] = 0). Lengths 0 and 1, and a tail of exact zeros,
// give tau = 0 and leave x unchanged.

#include <cstddef>

namespace kavo_ops {

struct InPlaceReflector {
  double tau = 0.0;
  double beta = 0.0;
};

// lower = sqrt(safmin) (1 + eps); upper = sqrt(DBL_MAX 2^-ceil(log2 m)) (1 - eps).
struct ReflectorWindow {
  double lower;
  double upper;
};
ReflectorWindow reflector_window(std::size_t m) noexcept;

InPlaceReflector scaled_reflector_in_place(double* x, std::size_t a, ReflectorWindow window) noexcept;

}  // namespace kavo_ops
