#include "kavo_ops/linalg/matexp/pade_coefficients.h"

namespace kavo_ops {

std::array<double, 7> pade6_coefficients() noexcept {
  constexpr int kDegree = 6;
  std::array<double, 7> c{};
  c[0] = 1.0;
  for (int k = 1; k <= kDegree; ++k) {
    c[k] = (c[k - 1] * static_cast<double>((kDegree - k) + 1)) /
           (static_cast<double>(k) * static_cast<double>((2 * kDegree - k) + 1));
  }
  return c;
}

}  // namespace kavo_ops
