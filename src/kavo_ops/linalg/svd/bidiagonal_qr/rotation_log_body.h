#pragma once
// The chunked rotation loop every tier compiles with its own target flags
// (included by one source per tier, inside an anonymous namespace there).

#include <cstddef>

#include "fyrel/lanes/lane_vector.h"
#include "kavo_ops/linalg/svd/bidiagonal_qr/rotation_log.h"

namespace kavo_ops {
namespace {

constexpr std::size_t kRotationChunk = 16;

// The plain loop over `width` columns, for the last columns of a row.
void rotate_columns(double* rows, std::size_t row_length, std::size_t width, const PlaneRotation* rotations,
                    std::size_t count) noexcept {
  for (std::size_t t = 0; t < count; ++t) {
    const PlaneRotation& rotation = rotations[t];
    double* x = rows + rotation.first * row_length;
    double* y = rows + rotation.second * row_length;
    const double c = rotation.c;
    const double s = rotation.s;
    for (std::size_t j = 0; j < width; ++j) {
      const double xj = x[j];
      const double yj = y[j];
      x[j] = c * xj + s * yj;
      y[j] = c * yj - s * xj;
    }
  }
}

// One chunk of kRotationChunk columns through the whole list. Sweeps record
// runs of chained rotations, each one's first row being the previous one's
// second; along such a run the shared row stays in registers, so a rotation
// loads and stores one row instead of two. The row is written back when the
// run ends, before any later rotation can read it.
template <std::size_t Lanes>
void rotate_chunk(double* rows, std::size_t row_length, const PlaneRotation* rotations, std::size_t count) noexcept {
  using Vector = fyrel::LaneVector<double, Lanes>;
  using V = typename Vector::Reg;
  constexpr std::size_t kVectors = kRotationChunk / Lanes;
  V carried[kVectors];
  std::size_t t = 0;
  while (t < count) {
    double* carried_row = rows + rotations[t].first * row_length;
    for (std::size_t v = 0; v < kVectors; ++v) carried[v] = Vector::load(carried_row + v * Lanes);
    for (;;) {
      const PlaneRotation& rotation = rotations[t];
      double* y = rows + rotation.second * row_length;
      const double c = rotation.c;
      const double s = rotation.s;
      for (std::size_t v = 0; v < kVectors; ++v) {
        const V xv = carried[v];
        const V yv = Vector::load(y + v * Lanes);
        Vector::store(carried_row + v * Lanes, c * xv + s * yv);
        carried[v] = c * yv - s * xv;
      }
      carried_row = y;
      ++t;
      // The run goes on while the next rotation starts from this second row
      // and pairs it with another one.
      if (t == count || rotations[t].first != rotation.second || rotations[t].second == rotation.second) break;
    }
    for (std::size_t v = 0; v < kVectors; ++v) Vector::store(carried_row + v * Lanes, carried[v]);
  }
}

// Columns [0, width) of rows that lie row_length apart.
template <std::size_t Lanes>
void apply_rotations_body(double* rows, std::size_t row_length, std::size_t width, const PlaneRotation* rotations,
                          std::size_t count) noexcept {
  std::size_t j = 0;
  for (; j + kRotationChunk <= width; j += kRotationChunk) rotate_chunk<Lanes>(rows + j, row_length, rotations, count);
  if (j < width) rotate_columns(rows + j, row_length, width - j, rotations, count);
}

}  // namespace
}  // namespace kavo_ops
