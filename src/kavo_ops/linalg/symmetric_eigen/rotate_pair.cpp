#include "kavo_ops/linalg/symmetric_eigen/rotate_pair.h"

#include "platform/processor_tier.h"

namespace kavo_ops {

void rotate_pair(double* x, double* y, std::size_t count, double c, double s) noexcept {
  switch (platform::active_tier()) {
    case platform::Tier::A: return tier_a::rotate_pair(x, y, count, c, s);
    case platform::Tier::B: return tier_b::rotate_pair(x, y, count, c, s);
    case platform::Tier::C: break;
  }
  tier_c::rotate_pair(x, y, count, c, s);
}

}  // namespace kavo_ops
