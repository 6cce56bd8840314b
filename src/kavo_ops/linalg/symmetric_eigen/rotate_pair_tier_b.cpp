// Tier B (AVX2): four lanes per instruction.
#include "kavo_ops/linalg/symmetric_eigen/rotate_pair.h"
#include "kavo_ops/linalg/symmetric_eigen/rotate_pair_body.h"

namespace kavo_ops::tier_b {

void rotate_pair(double* x, double* y, std::size_t count, double c, double s) noexcept {
  rotate_pair_body(x, y, count, c, s);
}

}  // namespace kavo_ops::tier_b
