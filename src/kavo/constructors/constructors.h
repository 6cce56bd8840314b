#pragma once
// Constructors of owned row-major arrays.

#include "kavo/error/array_error.h"
#include "kavo/layout/shape_arithmetic.h"
#include "kavo/view/owned_array.h"

namespace kavo {

// Zero-filled row-major array, its layout errors returned as values (for
// shapes that come from user input).
template <class T, std::size_t Rank>
Expected<OwnedArray<T, Rank>> try_zeros(const Extents<Rank>& shape) {
  auto layout = row_major_layout<Rank>(shape);
  if (!layout) return std::unexpected(std::move(layout.error()));
  auto count = checked_size(*layout);
  if (!count) return std::unexpected(std::move(count.error()));
  Buffer<T> buffer(*count);
  if (auto fits = check_storage(*layout, *count); !fits) return std::unexpected(std::move(fits.error()));
  return OwnedArray<T, Rank>(std::move(buffer), std::move(*layout));
}

// Row-major array whose every element the caller writes before reading
// (results computed element by element); errors as in try_zeros.
template <class T, std::size_t Rank>
Expected<OwnedArray<T, Rank>> try_uninitialized(const Extents<Rank>& shape) {
  auto layout = row_major_layout<Rank>(shape);
  if (!layout) return std::unexpected(std::move(layout.error()));
  auto count = checked_size(*layout);
  if (!count) return std::unexpected(std::move(count.error()));
  Buffer<T> buffer = Buffer<T>::uninitialized(*count);
  if (auto fits = check_storage(*layout, *count); !fits) return std::unexpected(std::move(fits.error()));
  return OwnedArray<T, Rank>(std::move(buffer), std::move(*layout));
}

// Zero-filled row-major array of a shape known to be valid.
template <class T, std::size_t Rank>
OwnedArray<T, Rank> zeros(const Extents<Rank>& shape) {
  auto layout = expect_valid(row_major_layout<Rank>(shape), "C-contiguous layout must construct");
  Buffer<T> buffer(size(layout));
  expect_valid(check_storage(layout, buffer.size()), "Valid layout bounds");
  return OwnedArray<T, Rank>(std::move(buffer), std::move(layout));
}

// Row-major array over `buffer`, whose length must equal the element count.
// On an error the buffer is released.
template <class T, std::size_t Rank>
Expected<OwnedArray<T, Rank>> from_vector(const Extents<Rank>& shape, Buffer<T> buffer) {
  auto layout = row_major_layout<Rank>(shape);
  if (!layout) return std::unexpected(std::move(layout.error()));
  auto count = checked_size(*layout);
  if (!count) return std::unexpected(std::move(count.error()));
  if (buffer.size() != *count) {
    return storage_error("Vector length " + std::to_string(buffer.size()) +
                         " does not match layout size " + std::to_string(*count));
  }
  if (auto fits = check_storage(*layout, *count); !fits) return std::unexpected(std::move(fits.error()));
  return OwnedArray<T, Rank>(std::move(buffer), std::move(*layout));
}

}  // namespace kavo
