#pragma once
// Checked size, stride, bound and position arithmetic on layouts. Nothing
// wraps: every overflow is ArrayError::Overflow naming the calculation.
// Empty layouts (some extent 0) address nothing and pass every bound and
// storage check without their strides or offset being looked at.

#include <cstdint>
#include <span>
#include <utility>

#include "kavo/error/array_error.h"
#include "kavo/layout/layout.h"

namespace kavo {

using ShapeSpan = std::span<const std::uint64_t>;
using StrideSpan = std::span<const std::int64_t>;

struct PhysicalBounds {
  std::int64_t min = 0;
  std::int64_t max = 0;
  bool operator==(const PhysicalBounds&) const = default;
};

struct PhysicalWindow {
  std::uint64_t min = 0;
  std::uint64_t max = 0;
};

bool has_zero_extent(ShapeSpan shape) noexcept;

// Product of the extents; 1 for rank 0.
Expected<std::uint64_t> checked_size(ShapeSpan shape);

// Row-major strides (offset 0) written into `out`, which has one entry per axis.
Expected<void> fill_c_contiguous_strides(ShapeSpan shape, std::span<std::int64_t> out);

// Smallest and largest physical position the layout can touch (inclusive).
Expected<PhysicalBounds> physical_bounds(ShapeSpan shape, StrideSpan strides, std::uint64_t offset);

// The layout addresses only positions 0 .. storage_len - 1.
Expected<void> check_storage(ShapeSpan shape, StrideSpan strides, std::uint64_t offset,
                             std::uint64_t storage_len);

// Physical position of one multi-index.
Expected<std::uint64_t> offset_of(ShapeSpan shape, StrideSpan strides, std::uint64_t offset,
                                  std::span<const std::uint64_t> index);

// Element count of a layout already validated; overflow is an invariant failure.
std::uint64_t size(ShapeSpan shape);

// Bounds of a layout already validated; failure is an invariant failure.
PhysicalWindow physical_window(ShapeSpan shape, StrideSpan strides, std::uint64_t offset);

// A strides list shorter than the shape is a caller bug, not an input error.
void require_stride_per_axis(ShapeSpan shape, StrideSpan strides);

// Convenience forms over a Layout.
template <std::size_t Rank>
Expected<std::uint64_t> checked_size(const Layout<Rank>& layout) {
  return checked_size(layout.shape_span());
}
template <std::size_t Rank>
std::uint64_t size(const Layout<Rank>& layout) {
  return size(layout.shape_span());
}
template <std::size_t Rank>
Expected<PhysicalBounds> physical_bounds(const Layout<Rank>& layout) {
  return physical_bounds(layout.shape_span(), layout.strides_span(), layout.offset);
}
template <std::size_t Rank>
Expected<void> check_storage(const Layout<Rank>& layout, std::uint64_t storage_len) {
  return check_storage(layout.shape_span(), layout.strides_span(), layout.offset, storage_len);
}
template <std::size_t Rank>
Expected<std::uint64_t> offset_of(const Layout<Rank>& layout, std::span<const std::uint64_t> index) {
  return offset_of(layout.shape_span(), layout.strides_span(), layout.offset, index);
}
template <std::size_t Rank>
PhysicalWindow physical_window(const Layout<Rank>& layout) {
  return physical_window(layout.shape_span(), layout.strides_span(), layout.offset);
}

template <std::size_t Rank>
Expected<Strides<Rank>> c_contiguous_strides(const Extents<Rank>& shape) {
  Strides<Rank> strides{};
  if constexpr (Rank == dynamic_rank) strides.resize(shape.size());
  if (auto filled = fill_c_contiguous_strides(shape, strides); !filled) {
    return std::unexpected(std::move(filled.error()));
  }
  return strides;
}

// The row-major layout of `shape` with offset 0.
template <std::size_t Rank>
Expected<Layout<Rank>> row_major_layout(const Extents<Rank>& shape) {
  auto strides = c_contiguous_strides<Rank>(shape);
  if (!strides) return std::unexpected(std::move(strides.error()));
  return Layout<Rank>{shape, std::move(*strides), 0};
}

}  // namespace kavo
