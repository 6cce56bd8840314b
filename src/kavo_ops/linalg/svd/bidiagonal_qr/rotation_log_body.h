#pragma once
// The chunked rotation loop every tier compiles with its own target flags
// (included by one source per tier, inside an anonymous namespace there).

#include <cstddef>

#include "kavo_ops/linalg/svd/bidiagonal_qr/rotation_log.h"

namespace kavo_ops {
namespace {

constexpr std::size_t kRotationChunk = 16;

// `Width` columns known at compile time, or `width` when Width is 0.
template <std::size_t Width>
void rotate_chunk(double* rows, std::size_t row_length, std::size_t width, const PlaneRotation* rotations,
                  std::size_t count) noexcept {
  const std::size_t n = Width != 0 ? Width : width;
  for (std::size_t t = 0; t < count; ++t) {
    const PlaneRotation& rotation = rotations[t];
    double* x = rows + rotation.first * row_length;
    double* y = rows + rotation.second * row_length;
    const double c = rotation.c;
    const double s = rotation.s;
    for (std::size_t j = 0; j < n; ++j) {
      const double xj = x[j];
      const double yj = y[j];
      x[j] = c * xj + s * yj;
      y[j] = c * yj - s * xj;
    }
  }
}

// Columns [0, width) of rows that lie row_length apart.
void apply_rotations_body(double* rows, std::size_t row_length, std::size_t width, const PlaneRotation* rotations,
                          std::size_t count) noexcept {
  std::size_t j = 0;
  for (; j + kRotationChunk <= width; j += kRotationChunk) {
    rotate_chunk<kRotationChunk>(rows + j, row_length, kRotationChunk, rotations, count);
  }
  if (j < width) rotate_chunk<0>(rows + j, row_length, width - j, rotations, count);
}

}  // namespace
}  // namespace kavo_ops
