#include "kavo_ops/linalg/qr/qr_row_kernels.h"

namespace kavo_ops {

void qr_add_scaled_row(double* sums, const double* row, double c, std::size_t len) noexcept {
  for (std::size_t j = 0; j < len; ++j) sums[j] += c * row[j];
}

void qr_subtract_scaled_row(double* row, const double* scaled, double c, std::size_t len) noexcept {
  for (std::size_t j = 0; j < len; ++j) row[j] -= scaled[j] * c;
}

}  // namespace kavo_ops
