#pragma once
// The loop every tier compiles with its own target flags (included by one
// source per tier, inside an anonymous namespace there): columns in chunks
// of kChunk whose sums stay in registers over both row sweeps.

#include <cmath>
#include <cstddef>

namespace kavo_ops {
namespace {

constexpr std::size_t kChunk = 32;

template <bool Fused>
inline double multiply_add(double a, double b, double c) noexcept {
  if constexpr (Fused) {
    return std::fma(a, b, c);
  } else {
    return c + a * b;
  }
}

// `Width` columns known at compile time, or `width` (at most kChunk) when
// Width is 0.
template <bool Fused, std::size_t Width>
void reflect_chunk(double* block, std::size_t row_stride, std::size_t rows, std::size_t width, double head,
                   const double* tail, std::size_t tail_stride, double tau) noexcept {
  const std::size_t n = Width != 0 ? Width : width;
  double sums[Width != 0 ? Width : kChunk];
  for (std::size_t j = 0; j < n; ++j) sums[j] = Fused ? std::fma(head, block[j], 0.0) : head * block[j];
  for (std::size_t r = 1; r < rows; ++r) {
    const double c = tail[(r - 1) * tail_stride];
    const double* row = block + r * row_stride;
    for (std::size_t j = 0; j < n; ++j) sums[j] = multiply_add<Fused>(c, row[j], sums[j]);
  }
  for (std::size_t j = 0; j < n; ++j) sums[j] *= tau;
  for (std::size_t j = 0; j < n; ++j) block[j] = multiply_add<Fused>(-head, sums[j], block[j]);
  for (std::size_t r = 1; r < rows; ++r) {
    const double c = tail[(r - 1) * tail_stride];
    double* row = block + r * row_stride;
    for (std::size_t j = 0; j < n; ++j) row[j] = multiply_add<Fused>(-c, sums[j], row[j]);
  }
}

template <bool Fused>
void reflect_rows_body(double* block, std::size_t row_stride, std::size_t rows, std::size_t width, double head,
                       const double* tail, std::size_t tail_stride, double tau) noexcept {
  if (rows == 0) return;
  std::size_t j = 0;
  for (; j + kChunk <= width; j += kChunk) {
    reflect_chunk<Fused, kChunk>(block + j, row_stride, rows, kChunk, head, tail, tail_stride, tau);
  }
  for (; j + 8 <= width; j += 8) reflect_chunk<Fused, 8>(block + j, row_stride, rows, 8, head, tail, tail_stride, tau);
  if (j < width) reflect_chunk<Fused, 0>(block + j, row_stride, rows, width - j, head, tail, tail_stride, tau);
}

}  // namespace
}  // namespace kavo_ops
