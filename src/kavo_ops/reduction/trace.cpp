#include "kavo_ops/reduction/trace.h"

#include "kavo/layout/shape_arithmetic.h"

namespace kavo_ops {

kavo::Expected<double> trace(const kavo::View<double, 2>& a) {
  const auto [rows, cols] = a.layout.shape;
  if (rows != cols) return std::unexpected<kavo::ArrayError>(kavo::ShapeMismatch{{rows, cols}, {rows, rows}});
  const std::uint64_t order = rows;
  if (order == 0) return 0.0;
  if (auto fits = kavo::check_storage(a.layout, a.len); !fits) return std::unexpected(std::move(fits.error()));

  // Step to the next diagonal element through (i + 1, i): every intermediate
  // position belongs to the validated layout, so nothing can overflow.
  const auto [row_stride, col_stride] = a.layout.strides;
  auto position = static_cast<std::int64_t>(a.layout.offset);
  double sum = 0.0;
  for (std::uint64_t i = 0; i < order; ++i) {
    sum = sum + a.data[position];
    if (i + 1 < order) {
      position += row_stride;
      position += col_stride;
    }
  }
  return sum;
}

}  // namespace kavo_ops
