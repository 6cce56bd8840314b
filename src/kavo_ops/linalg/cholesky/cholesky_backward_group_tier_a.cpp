#include "kavo_ops/linalg/cholesky/cholesky_backward_group_body.h"

namespace kavo_ops::tier_a {

void cholesky_backward_group(const double* l_transposed, std::size_t n, double* x) noexcept {
  backward_group_body<8>(l_transposed, n, x);
}

}  // namespace kavo_ops::tier_a
