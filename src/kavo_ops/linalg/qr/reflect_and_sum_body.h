#pragma once
// The loop of reflect_and_sum.h every tier compiles with its own target
// flags (included by one source per tier, inside an anonymous namespace
// there): columns in chunks of kSumChunk whose two rows of sums stay in
// registers over the sweep. Plain multiplies and adds: vectorisation cannot
// change a bit because the project builds with -ffp-contract=off.

#include <cstddef>

namespace kavo_ops {
namespace {

constexpr std::size_t kSumChunk = 32;

template <std::size_t Width>
void reflect_and_sum_chunk(double* block, std::size_t row_stride, std::size_t rows, std::size_t width,
                           const double* c, const double* scaled_sums, const double* c_next,
                           double* next_sums) noexcept {
  const std::size_t n = Width != 0 ? Width : width;
  double s[Width != 0 ? Width : kSumChunk];
  double t[Width != 0 ? Width : kSumChunk];
  for (std::size_t j = 0; j < n; ++j) s[j] = scaled_sums[j], t[j] = next_sums[j];
  for (std::size_t r = 0; r < rows; ++r) {
    const double minus_c = -c[r];
    const double next = c_next[r];
    double* row = block + r * row_stride;
    for (std::size_t j = 0; j < n; ++j) {
      const double updated = row[j] + minus_c * s[j];
      row[j] = updated;
      t[j] = t[j] + next * updated;
    }
  }
  for (std::size_t j = 0; j < n; ++j) next_sums[j] = t[j];
}

void reflect_and_sum_body(double* block, std::size_t row_stride, std::size_t rows, std::size_t width, const double* c,
                          const double* scaled_sums, const double* c_next, double* next_sums) noexcept {
  std::size_t j = 0;
  for (; j + kSumChunk <= width; j += kSumChunk) {
    reflect_and_sum_chunk<kSumChunk>(block + j, row_stride, rows, kSumChunk, c, scaled_sums + j, c_next, next_sums + j);
  }
  for (; j + 8 <= width; j += 8) {
    reflect_and_sum_chunk<8>(block + j, row_stride, rows, 8, c, scaled_sums + j, c_next, next_sums + j);
  }
  if (j < width) {
    reflect_and_sum_chunk<0>(block + j, row_stride, rows, width - j, c, scaled_sums + j, c_next, next_sums + j);
  }
}

}  // namespace
}  // namespace kavo_ops
