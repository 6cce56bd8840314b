#include "kavo_ops/linalg/reflect_rows/reflect_rows.h"

#include "platform/processor_tier.h"

namespace kavo_ops {

void reflect_rows(double* block, std::size_t row_stride, std::size_t rows, std::size_t width, double head,
                  const double* tail, std::size_t tail_stride, double tau, ReflectRounding rounding) noexcept {
  const bool fused = rounding == ReflectRounding::fused;
  switch (platform::active_tier()) {
    case platform::Tier::A:
      return fused ? tier_a::reflect_rows_fused(block, row_stride, rows, width, head, tail, tail_stride, tau)
                   : tier_a::reflect_rows_separate(block, row_stride, rows, width, head, tail, tail_stride, tau);
    case platform::Tier::B:
      return fused ? tier_b::reflect_rows_fused(block, row_stride, rows, width, head, tail, tail_stride, tau)
                   : tier_b::reflect_rows_separate(block, row_stride, rows, width, head, tail, tail_stride, tau);
    case platform::Tier::C:
      break;
  }
  if (fused) {
    tier_c::reflect_rows_fused(block, row_stride, rows, width, head, tail, tail_stride, tau);
  } else {
    tier_c::reflect_rows_separate(block, row_stride, rows, width, head, tail, tail_stride, tau);
  }
}

}  // namespace kavo_ops
