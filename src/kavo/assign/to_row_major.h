#pragma once
// Materialises any matrix view as an owned row-major array. Row-major windows
// are copied as they are; column-major windows are transposed in 32 x 32
// tiles so that both the reads and the writes of a tile stay in cache; any
// other layout is gathered element by element. All three paths give the same
// array: view[i, j] at position i * C + j.

#include <algorithm>
#include <cstring>

#include "kavo/constructors/constructors.h"
#include "kavo/iter/element_iter.h"
#include "kavo/layout/contiguity.h"

namespace kavo {

inline constexpr std::uint64_t kTransposeTile = 32;

// dst[i * cols + j] = src[j * rows + i] for a column-major rows x cols source.
template <class T>
void transpose_tiled(const T* src, T* dst, std::uint64_t rows, std::uint64_t cols) {
  for (std::uint64_t j0 = 0; j0 < cols; j0 += kTransposeTile) {
    std::uint64_t j1 = std::min(cols, j0 + kTransposeTile);
    for (std::uint64_t i0 = 0; i0 < rows; i0 += kTransposeTile) {
      std::uint64_t i1 = std::min(rows, i0 + kTransposeTile);
      for (std::uint64_t j = j0; j < j1; ++j) {
        for (std::uint64_t i = i0; i < i1; ++i) dst[i * cols + j] = src[j * rows + i];
      }
    }
  }
}

template <class T>
OwnedArray<T, 2> to_row_major_owned(const View<T, 2>& view) {
  const Layout<2>& layout = view.layout;
  const std::uint64_t rows = layout.shape[0];
  const std::uint64_t cols = layout.shape[1];
  const std::uint64_t count = size(layout);
  const bool window_fits = layout.offset <= view.len && count <= view.len - layout.offset;

  Buffer<T> result(count);
  if (count != 0 && is_c_contiguous(layout) && window_fits) {
    std::memcpy(result.data(), view.data + layout.offset, count * sizeof(T));
  } else if (count != 0 && is_f_contiguous(layout) && window_fits) {
    // Copy the column-major window first so the transpose reads a dense source.
    Buffer<T> source(count);
    std::memcpy(source.data(), view.data + layout.offset, count * sizeof(T));
    platform::ensure(source.size() == rows * cols, "invariant: dense view fits its transpose storage");
    transpose_tiled(source.data(), result.data(), rows, cols);
  } else {
    auto walk = elements(view);
    for (std::uint64_t i = 0; i < count; ++i) result[i] = *walk.next();
  }
  return expect_valid(from_vector<T, 2>({rows, cols}, std::move(result)),
                      "logical row-major materialization has matching shape and storage");
}

}  // namespace kavo
