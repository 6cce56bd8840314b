#include "kavo_ops/linalg/cholesky/cholesky_backward_group.h"

#include "platform/processor_tier.h"

namespace kavo_ops {

void cholesky_backward_group(const double* l_transposed, std::size_t n, double* x) noexcept {
  switch (platform::active_tier()) {
    case platform::Tier::A: return tier_a::cholesky_backward_group(l_transposed, n, x);
    case platform::Tier::B: return tier_b::cholesky_backward_group(l_transposed, n, x);
    case platform::Tier::C: break;
  }
  tier_c::cholesky_backward_group(l_transposed, n, x);
}

}  // namespace kavo_ops
