#include "kavo_ops/linalg/bidiagonal/rank_one_update.h"

#include <span>

#include "kavo_ops/slice_kernels/axpy_slice.h"

namespace kavo_ops {

void rank_one_update(double* a, std::size_t column_stride, std::size_t rows, std::size_t cols, const double* x,
                     const double* y) {
  const std::span<const double> left(x, rows);
  for (std::size_t j = 0; j < cols; ++j) axpy_slice(y[j], left, std::span<double>(a + j * column_stride, rows));
}

}  // namespace kavo_ops
