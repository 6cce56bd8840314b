#include "kavo_ops/linalg/qr/reflect_rows/qr_reflect_rows.h"

#include "platform/processor_tier.h"

namespace kavo_ops {

void qr_reflect_rows(double* block, std::size_t row_stride, std::size_t rows, std::size_t width, double head,
                     const double* tail, std::size_t tail_stride, double tau) noexcept {
  switch (platform::active_tier()) {
    case platform::Tier::A:
      return tier_a::qr_reflect_rows(block, row_stride, rows, width, head, tail, tail_stride, tau);
    case platform::Tier::B:
      return tier_b::qr_reflect_rows(block, row_stride, rows, width, head, tail, tail_stride, tau);
    case platform::Tier::C:
      break;
  }
  tier_c::qr_reflect_rows(block, row_stride, rows, width, head, tail, tail_stride, tau);
}

}  // namespace kavo_ops
