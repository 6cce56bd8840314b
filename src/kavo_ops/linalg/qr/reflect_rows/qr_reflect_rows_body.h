#pragma once
// The loop every tier compiles with its own target flags (included by one
// source per tier, inside an anonymous namespace there): columns in chunks
// of kChunk whose sums stay in registers over both row sweeps.

#include <cstddef>

namespace kavo_ops {
namespace {

constexpr std::size_t kChunk = 32;

template <std::size_t Width>
void reflect_chunk(double* block, std::size_t row_stride, std::size_t rows, double head, const double* tail,
                   std::size_t tail_stride, double tau) noexcept {
  double sums[Width];
  for (std::size_t j = 0; j < Width; ++j) sums[j] = head * block[j];
  for (std::size_t r = 1; r < rows; ++r) {
    const double c = tail[(r - 1) * tail_stride];
    const double* row = block + r * row_stride;
    for (std::size_t j = 0; j < Width; ++j) sums[j] += c * row[j];
  }
  for (std::size_t j = 0; j < Width; ++j) sums[j] *= tau;
  for (std::size_t j = 0; j < Width; ++j) block[j] -= sums[j] * head;
  for (std::size_t r = 1; r < rows; ++r) {
    const double c = tail[(r - 1) * tail_stride];
    double* row = block + r * row_stride;
    for (std::size_t j = 0; j < Width; ++j) row[j] -= sums[j] * c;
  }
}

void reflect_remainder(double* block, std::size_t row_stride, std::size_t rows, std::size_t width, double head,
                       const double* tail, std::size_t tail_stride, double tau) noexcept {
  double sums[kChunk];
  for (std::size_t j = 0; j < width; ++j) sums[j] = head * block[j];
  for (std::size_t r = 1; r < rows; ++r) {
    const double c = tail[(r - 1) * tail_stride];
    const double* row = block + r * row_stride;
    for (std::size_t j = 0; j < width; ++j) sums[j] += c * row[j];
  }
  for (std::size_t j = 0; j < width; ++j) sums[j] *= tau;
  for (std::size_t j = 0; j < width; ++j) block[j] -= sums[j] * head;
  for (std::size_t r = 1; r < rows; ++r) {
    const double c = tail[(r - 1) * tail_stride];
    double* row = block + r * row_stride;
    for (std::size_t j = 0; j < width; ++j) row[j] -= sums[j] * c;
  }
}

void reflect_rows_body(double* block, std::size_t row_stride, std::size_t rows, std::size_t width, double head,
                       const double* tail, std::size_t tail_stride, double tau) noexcept {
  if (rows == 0) return;
  std::size_t j = 0;
  for (; j + kChunk <= width; j += kChunk) reflect_chunk<kChunk>(block + j, row_stride, rows, head, tail, tail_stride, tau);
  for (; j + 8 <= width; j += 8) reflect_chunk<8>(block + j, row_stride, rows, head, tail, tail_stride, tau);
  if (j < width) reflect_remainder(block + j, row_stride, rows, width - j, head, tail, tail_stride, tau);
}

}  // namespace
}  // namespace kavo_ops
