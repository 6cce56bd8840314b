#include "kavo_ops/linalg/bunch_kaufman/bunch_kaufman_steps.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {

kavo::Expected<TwoByTwoPivot> two_by_two_pivot(double d, double e, double f) {
  platform::ensure(e != 0.0, "invariant: a 2x2 pivot has a nonzero off-diagonal entry");
  const double d_over_e = d / e;
  // (d / e) * f is at most |f|; the pivot rule bounds the quotient by alpha^2.
  const double scaled_determinant = (d_over_e * f) / e - 1.0;
  if (scaled_determinant == 0.0) {
    return kavo::storage_error("Bunch-Kaufman encountered a singular 2x2 pivot",
                               kavo::FailureKind::singular_block_pivot);
  }
  return TwoByTwoPivot{e, d_over_e, 1.0 / scaled_determinant};
}

TwoByTwoMultipliers two_by_two_multipliers(const TwoByTwoPivot& pivot, double f, double o, double r) {
  const double e = pivot.e;
  const double o_over_e = o / e;  // |o| <= |e| = colmax
  // first = t (f o / e - r) / e. The halves keep f o / e - r (each term up to
  // rowmax) from overflowing; scaling by 2 and 0.5 is exact.
  const double half_difference = 0.5 * (f * o_over_e) - 0.5 * r;
  const double first = (2.0 * pivot.t) * (half_difference / e);
  // second = t (d r / e - o) / e; |d r| < alpha e^2 by the pivot rule.
  const double second = pivot.t * ((pivot.d_over_e * r) / e - o_over_e);
  return {first, second};
}

}  // namespace kavo_ops
