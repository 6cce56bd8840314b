#include "kavo_ops/linalg/svd/bidiagonal_qr/rotation_log.h"
#include "kavo_ops/parallel/executor_loops.h"
#include "platform/per_tier.h"

namespace kavo_ops {

namespace {

// Columns per task: four register chunks, and enough work per task (with a
// long list) that waking the executor pays off.
constexpr std::size_t kColumnsPerTask = 64;
constexpr std::size_t kParallelWork = std::size_t{1} << 18;  // rotations x columns

constexpr platform::PerTier<ApplyRotationsKernels> apply_rotations_kernels{apply_rotations_tier_a,
                                                                          apply_rotations_tier_b,
                                                                          apply_rotations_tier_c};

}  // namespace

void apply_rotations(double* rows, std::size_t row_length, const PlaneRotation* rotations, std::size_t count) {
  if (count == 0) return;
  const auto apply = apply_rotations_kernels.active().apply;
  if (count * row_length < kParallelWork || row_length <= kColumnsPerTask) {
    apply(rows, row_length, row_length, rotations, count);
    return;
  }
  for_each_dynamic_chunk(row_length, kColumnsPerTask, [&](std::uint64_t j0, std::uint64_t j1) {
    apply(rows + j0, row_length, j1 - j0, rotations, count);
  });
}

}  // namespace kavo_ops
