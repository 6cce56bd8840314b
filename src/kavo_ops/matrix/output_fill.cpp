#include "kavo_ops/matrix/output_fill.h"

#include <algorithm>
#include <cstdint>

#include "kavo/layout/shape_arithmetic.h"

namespace kavo_ops {

template <class T>
void fill_output_zero(const kavo::MutView<T, 2>& out) {
  const std::uint64_t rows = out.layout.shape[0];
  const std::uint64_t cols = out.layout.shape[1];
  if (rows == 0 || cols == 0) return;
  const std::int64_t row_stride = out.layout.strides[0];
  const std::int64_t col_stride = out.layout.strides[1];
  T* origin = out.data + out.layout.offset;
  if (col_stride == 1 && (rows == 1 || row_stride == static_cast<std::int64_t>(cols))) {
    std::fill_n(origin, rows * cols, T(0));
    return;
  }
  for (std::uint64_t i = 0; i < rows; ++i) {
    T* row = origin + static_cast<std::int64_t>(i) * row_stride;
    if (col_stride == 1) {
      std::fill_n(row, cols, T(0));
    } else {
      for (std::uint64_t j = 0; j < cols; ++j) row[static_cast<std::int64_t>(j) * col_stride] = T(0);
    }
  }
}

template void fill_output_zero<float>(const kavo::MutView<float, 2>&);
template void fill_output_zero<double>(const kavo::MutView<double, 2>&);

}  // namespace kavo_ops
