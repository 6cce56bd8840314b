#include "kavo_ops/linalg/svd/bidiagonal_qr/rotation_log.h"
#include "kavo_ops/linalg/svd/bidiagonal_qr/rotation_log_body.h"

namespace kavo_ops::tier_b {

void apply_rotations(double* rows, std::size_t row_length, std::size_t width, const PlaneRotation* rotations,
                     std::size_t count) noexcept {
  apply_rotations_body<4>(rows, row_length, width, rotations, count);
}

}  // namespace kavo_ops::tier_b
