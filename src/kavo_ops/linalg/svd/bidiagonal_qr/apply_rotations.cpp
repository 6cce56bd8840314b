#include "kavo_ops/linalg/svd/bidiagonal_qr/rotation_log.h"
#include "kavo_ops/parallel/parallel_for.h"
#include "platform/processor_tier.h"

namespace kavo_ops {

namespace {

// Columns per task: four register chunks, and enough work per task (with a
// long list) that waking the executor pays off.
constexpr std::size_t kColumnsPerTask = 64;
constexpr std::size_t kParallelWork = std::size_t{1} << 18;  // rotations x columns

void apply_columns(double* rows, std::size_t row_length, std::size_t j0, std::size_t j1,
                   const PlaneRotation* rotations, std::size_t count) noexcept {
  switch (platform::active_tier()) {
    case platform::Tier::A:
      return tier_a::apply_rotations(rows + j0, row_length, j1 - j0, rotations, count);
    case platform::Tier::B:
      return tier_b::apply_rotations(rows + j0, row_length, j1 - j0, rotations, count);
    case platform::Tier::C:
      break;
  }
  tier_c::apply_rotations(rows + j0, row_length, j1 - j0, rotations, count);
}

}  // namespace

void apply_rotations(double* rows, std::size_t row_length, const PlaneRotation* rotations, std::size_t count) {
  if (count == 0) return;
  if (count * row_length < kParallelWork || row_length <= kColumnsPerTask) {
    apply_columns(rows, row_length, 0, row_length, rotations, count);
    return;
  }
  for_each_dynamic_chunk(row_length, kColumnsPerTask, [&](std::uint64_t j0, std::uint64_t j1) {
    apply_columns(rows, row_length, j0, j1, rotations, count);
  });
}

}  // namespace kavo_ops
