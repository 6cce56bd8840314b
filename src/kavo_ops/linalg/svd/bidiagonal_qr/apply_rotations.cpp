#include "kavo_ops/linalg/svd/bidiagonal_qr/rotation_log.h"
#include "platform/processor_tier.h"

namespace kavo_ops {

void apply_rotations(double* rows, std::size_t row_length, const PlaneRotation* rotations,
                     std::size_t count) noexcept {
  if (count == 0) return;
  switch (platform::active_tier()) {
    case platform::Tier::A:
      return tier_a::apply_rotations(rows, row_length, rotations, count);
    case platform::Tier::B:
      return tier_b::apply_rotations(rows, row_length, rotations, count);
    case platform::Tier::C:
      break;
  }
  tier_c::apply_rotations(rows, row_length, rotations, count);
}

}  // namespace kavo_ops
