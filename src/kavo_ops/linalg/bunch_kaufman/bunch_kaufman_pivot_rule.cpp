#include <cmath>

#include "kavo_ops/linalg/bunch_kaufman/bunch_kaufman_steps.h"

namespace kavo_ops {

bool diagonal_pivot_holds(double absakk, double colmax, double rowmax) {
  // colmax / rowmax <= 1, so nothing here overflows; when the bound
  // underflows to zero, a zero diagonal must still be refused.
  return absakk > 0.0 && absakk >= kBunchKaufmanAlpha * colmax * (colmax / rowmax);
}

}  // namespace kavo_ops
