#pragma once
// The two row operations QR's own reflectors are made of. Each product is
// rounded before the add or subtract (no fused multiply-add), so a
// reflector that should negate a row does so exactly: [[3]] factors as
// Q = [[-1]], R = [[-3]].

#include <cstddef>

namespace kavo_ops {

// sums[j] += c * row[j] for j < len.
void qr_add_scaled_row(double* sums, const double* row, double c, std::size_t len) noexcept;

// row[j] -= scaled[j] * c for j < len.
void qr_subtract_scaled_row(double* row, const double* scaled, double c, std::size_t len) noexcept;

}  // namespace kavo_ops
