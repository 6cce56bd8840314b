#include "kavo_ops/linalg/scaling/scale_exponent_into.h"

#include <cmath>

#include "kavo_ops/linalg/scaling/power_of_two.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {
namespace {

// The rounded product a·2^-s is monotone in s, so the admissible s form a
// ray; the search starts one below the exponent difference (the answer is
// that difference or one more, barring subnormal rounding) and walks to its
// end, then back while the smaller move still satisfies the test.
template <class Fits>
int first_fitting(int guess, int limit, int step, Fits fits) {
  int s = guess;
  if (step > 0 ? s < limit : s > limit) s = limit;
  while (!fits(s)) s += step;
  while (s != limit && fits(s - step)) s -= step;
  return s;
}

}  // namespace

std::optional<int> scale_exponent_into(double a, double lo, double hi) {
  platform::ensure(std::isfinite(a) && a > 0.0 && std::isfinite(hi) && lo > 0.0 && lo <= hi,
                   "invariant: scale_exponent_into needs a finite a > 0 and a window 0 < lo <= hi");
  if (lo <= a && a <= hi) return std::nullopt;
  const int difference_hi = binary_exponent(a) - binary_exponent(hi);
  const int difference_lo = binary_exponent(a) - binary_exponent(lo);
  if (a > hi) {
    return first_fitting(difference_hi - 1, 1, 1, [&](int s) { return scale_by_power_of_two(a, -s) <= hi; });
  }
  return first_fitting(difference_lo + 1, -1, -1, [&](int s) { return scale_by_power_of_two(a, -s) >= lo; });
}

}  // namespace kavo_ops
