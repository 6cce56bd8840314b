#include <bit>
#include <cmath>
#include <cstdint>
#include <span>

#include "kavo/layout/contiguity.h"
#include "kavo/layout/shape_arithmetic.h"
#include "kavo_ops/linalg/norms/magnitude_slice.h"
#include "kavo_ops/linalg/norms/norms.h"
#include "kavo_ops/slice_kernels/dot_slice.h"

namespace kavo_ops {
namespace {

constexpr std::uint64_t magnitude_mask = 0x7FFF'FFFF'FFFF'FFFFull;

// The larger magnitude by bit pattern: exact, and NaN if either is NaN
// (a plain comparison would keep whichever operand the NaN was not).
double larger_magnitude(double a, double b) noexcept {
  const std::uint64_t x = std::bit_cast<std::uint64_t>(a) & magnitude_mask;
  const std::uint64_t y = std::bit_cast<std::uint64_t>(b) & magnitude_mask;
  return std::bit_cast<double>(x > y ? x : y);
}

// Sum of squares, sum of magnitudes or largest magnitude of one run.
double slice_part(EntrywiseNorm kind, std::span<const double> run) {
  switch (kind) {
    case EntrywiseNorm::Frobenius: return dot_slice(run, run);
    case EntrywiseNorm::Max: return max_magnitude_slice(run);
    case EntrywiseNorm::Sum: return magnitude_sum_slice(run);
  }
  return 0.0;
}

// The same for a row whose elements are not adjacent, in index order.
double strided_part(EntrywiseNorm kind, const double* data, std::int64_t start, std::int64_t stride,
                    std::uint64_t count) {
  double part = 0.0;
  std::int64_t position = start;
  for (std::uint64_t j = 0; j < count; ++j) {
    if (j > 0) position += stride;
    const double v = data[position];
    switch (kind) {
      case EntrywiseNorm::Frobenius: part = part + v * v; break;
      case EntrywiseNorm::Max: part = larger_magnitude(part, v); break;
      case EntrywiseNorm::Sum: part = part + std::fabs(v); break;
    }
  }
  return part;
}

double combine(EntrywiseNorm kind, double total, double part) {
  return kind == EntrywiseNorm::Max ? larger_magnitude(total, part) : total + part;
}

double finish(EntrywiseNorm kind, double total) {
  return kind == EntrywiseNorm::Frobenius ? std::sqrt(total) : total;
}

}  // namespace

kavo::Expected<double> entrywise_norm(const kavo::View<double, 2>& a, EntrywiseNorm kind) {
  auto count = kavo::checked_size(a.layout);
  if (!count) return std::unexpected(std::move(count.error()));
  if (*count == 0) return 0.0;
  // A layout reaching outside the storage would read foreign memory below.
  if (auto fits = kavo::check_storage(a.layout, a.len); !fits) return std::unexpected(std::move(fits.error()));

  const std::uint64_t offset = a.layout.offset;
  if (kavo::is_c_contiguous(a.layout) && offset <= a.len && *count <= a.len - offset) {
    return finish(kind, slice_part(kind, std::span<const double>(a.data + offset, *count)));
  }

  // Every position touched below is one the validated layout addresses, so
  // none of this arithmetic can overflow.
  const auto [rows, cols] = a.layout.shape;
  const auto [row_stride, col_stride] = a.layout.strides;
  double total = 0.0;
  for (std::uint64_t r = 0; r < rows; ++r) {
    const std::int64_t start = static_cast<std::int64_t>(offset) + static_cast<std::int64_t>(r) * row_stride;
    const double part = (col_stride == 1 || cols == 1)
                            ? slice_part(kind, std::span<const double>(a.data + start, cols))
                            : strided_part(kind, a.data, start, col_stride, cols);
    total = combine(kind, total, part);
  }
  return finish(kind, total);
}

}  // namespace kavo_ops
