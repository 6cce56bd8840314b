#include "kavo_ops/linalg/svd/transposed_copy.h"

#include <algorithm>

#include "kavo/assign/to_row_major.h"
#include "kavo/constructors/constructors.h"
#include "kavo/layout/contiguity.h"

namespace kavo_ops {

kavo::OwnedArray<double, 2> transposed_copy(const kavo::View<double, 2>& a) {
  const std::uint64_t rows = a.layout.shape[0];
  const std::uint64_t cols = a.layout.shape[1];
  kavo::OwnedArray<double, 2> result = kavo::zeros<double, 2>({cols, rows});
  if (rows * cols == 0) return result;
  const std::uint64_t count = rows * cols;
  const bool window_fits = a.layout.offset <= a.len && count <= a.len - a.layout.offset;
  // A row-major rows x cols block is a column-major cols x rows one: read it
  // in place when the view is one, else through a row-major copy.
  if (kavo::is_c_contiguous(a.layout) && window_fits) {
    kavo::transpose_tiled(a.data + a.layout.offset, result.data(), cols, rows);
  } else {
    const kavo::OwnedArray<double, 2> source = kavo::to_row_major_owned(a);
    kavo::transpose_tiled(source.data(), result.data(), cols, rows);
  }
  return result;
}

kavo::OwnedArray<double, 2> leading_columns_transposed(const kavo::OwnedArray<double, 2>& a, std::uint64_t count) {
  const std::uint64_t rows = a.layout().shape[0];
  const std::uint64_t cols = a.layout().shape[1];
  kavo::OwnedArray<double, 2> result = kavo::zeros<double, 2>({count, rows});
  const double* source = a.data();
  double* target = result.data();
  // Tiles small enough that both the rows read and the rows written stay in
  // the level-1 cache.
  constexpr std::uint64_t kTile = 32;
  for (std::uint64_t r0 = 0; r0 < rows; r0 += kTile) {
    const std::uint64_t r1 = std::min(rows, r0 + kTile);
    for (std::uint64_t c0 = 0; c0 < count; c0 += kTile) {
      const std::uint64_t c1 = std::min(count, c0 + kTile);
      for (std::uint64_t r = r0; r < r1; ++r) {
        for (std::uint64_t c = c0; c < c1; ++c) target[c * rows + r] = source[r * cols + c];
      }
    }
  }
  return result;
}

}  // namespace kavo_ops
