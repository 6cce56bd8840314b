#include "kavo_ops/matrix/row_update.h"

#include <cmath>
#include <functional>
#include <span>

#include "kavo_ops/slice_kernels/axpy_slice.h"

namespace kavo_ops {

template <class T>
void row_update_rows(const MatmulRoute& route, const T* a, const T* b, T* out, std::uint64_t r0, std::uint64_t r1) {
  const std::uint64_t n = route.n;
  if (n == 0) return;
  const bool unit_rows = route.b_col_stride == 1 && route.out_col_stride == 1;
  for (std::uint64_t i = r0; i < r1; ++i) {
    const T* a_row = a + static_cast<std::int64_t>(i) * route.a_row_stride;
    T* out_row = out + static_cast<std::int64_t>(i) * route.out_row_stride;
    for (std::uint64_t p = 0; p < route.k; ++p) {
      const T x = a_row[static_cast<std::int64_t>(p) * route.a_col_stride];
      if (x == T(0)) continue;
      const T* b_row = b + static_cast<std::int64_t>(p) * route.b_row_stride;
      // The vector axpy needs both rows unit-stride and apart; an input row
      // overlapping the output row (possible through the C++ interface) takes
      // the element loop, which reads each B element before writing it.
      const bool apart = std::less<>()(b_row + n - 1, out_row) || std::less<>()(out_row + n - 1, b_row);
      if (unit_rows && apart) {
        axpy_slice(x, std::span<const T>(b_row, n), std::span<T>(out_row, n));
      } else {
        for (std::uint64_t j = 0; j < n; ++j) {
          T& o = out_row[static_cast<std::int64_t>(j) * route.out_col_stride];
          o = std::fma(x, b_row[static_cast<std::int64_t>(j) * route.b_col_stride], o);
        }
      }
    }
  }
}

template void row_update_rows<float>(const MatmulRoute&, const float*, const float*, float*, std::uint64_t,
                                     std::uint64_t);
template void row_update_rows<double>(const MatmulRoute&, const double*, const double*, double*, std::uint64_t,
                                      std::uint64_t);

}  // namespace kavo_ops
