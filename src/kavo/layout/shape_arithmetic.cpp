#include "kavo/layout/shape_arithmetic.h"

#include <algorithm>
#include <limits>

#include "platform/invariant_failure.h"

namespace kavo {
namespace {

constexpr std::uint64_t kMaxSigned = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());

IndexList copy_of(std::span<const std::uint64_t> values) {
  return IndexList(values.begin(), values.end());
}

}  // namespace

bool has_zero_extent(ShapeSpan shape) noexcept {
  return std::ranges::find(shape, std::uint64_t{0}) != shape.end();
}

void require_stride_per_axis(ShapeSpan shape, StrideSpan strides) {
  platform::ensure(strides.size() >= shape.size(), "layout strides list is shorter than its shape");
}

Expected<std::uint64_t> checked_size(ShapeSpan shape) {
  std::uint64_t product = 1;
  for (std::uint64_t extent : shape) {
    if (__builtin_mul_overflow(product, extent, &product)) return overflow("layout shape product");
  }
  return product;
}

Expected<void> fill_c_contiguous_strides(ShapeSpan shape, std::span<std::int64_t> out) {
  platform::ensure(out.size() >= shape.size(), "layout strides list is shorter than its shape");
  std::int64_t running = 1;
  for (std::size_t axis = shape.size(); axis-- > 0;) {
    out[axis] = running;
    std::uint64_t extent = shape[axis];
    if (extent == 0) {
      running = 0;  // every earlier axis addresses nothing, so gets stride 0
      continue;
    }
    if (extent > kMaxSigned) return overflow("C-contiguous dimension conversion");
    if (__builtin_mul_overflow(running, static_cast<std::int64_t>(extent), &running)) {
      return overflow("C-contiguous stride multiplication");
    }
  }
  return {};
}

Expected<PhysicalBounds> physical_bounds(ShapeSpan shape, StrideSpan strides, std::uint64_t offset) {
  require_stride_per_axis(shape, strides);
  // Positions above 2^63 - 1 cannot be represented; no storage is that long.
  if (offset > kMaxSigned) return overflow("layout base offset conversion");
  auto base = static_cast<std::int64_t>(offset);
  if (shape.empty() || has_zero_extent(shape)) return PhysicalBounds{base, base};

  std::int64_t min = base;
  std::int64_t max = base;
  for (std::size_t axis = 0; axis < shape.size(); ++axis) {
    std::uint64_t last = shape[axis] - 1;
    if (last > kMaxSigned) return overflow("layout dimension bound conversion");
    std::int64_t span = 0;
    if (__builtin_mul_overflow(static_cast<std::int64_t>(last), strides[axis], &span)) {
      return overflow("layout dimension bound multiplication");
    }
    if (span < 0) {
      if (__builtin_add_overflow(min, span, &min)) return overflow("layout minimum offset accumulation");
    } else {
      if (__builtin_add_overflow(max, span, &max)) return overflow("layout maximum offset accumulation");
    }
  }
  if (min < 0) return storage_error("layout accesses negative physical offset " + std::to_string(min));
  return PhysicalBounds{min, max};
}

Expected<void> check_storage(ShapeSpan shape, StrideSpan strides, std::uint64_t offset,
                             std::uint64_t storage_len) {
  if (has_zero_extent(shape)) return {};
  if (auto count = checked_size(shape); !count) return std::unexpected(std::move(count.error()));
  auto bounds = physical_bounds(shape, strides, offset);
  if (!bounds) return std::unexpected(std::move(bounds.error()));
  auto min = static_cast<std::uint64_t>(bounds->min);
  auto max = static_cast<std::uint64_t>(bounds->max);
  if (min < storage_len && max < storage_len) return {};
  return storage_error("storage length " + std::to_string(storage_len) +
                       " does not cover layout physical offsets " + std::to_string(min) + "..=" +
                       std::to_string(max));
}

Expected<std::uint64_t> offset_of(ShapeSpan shape, StrideSpan strides, std::uint64_t offset,
                                  std::span<const std::uint64_t> index) {
  if (index.size() != shape.size()) {
    return std::unexpected<ArrayError>(OutOfBounds{copy_of(index), copy_of(shape)});
  }
  require_stride_per_axis(shape, strides);
  if (offset > kMaxSigned) return overflow("layout base offset conversion");
  auto position = static_cast<std::int64_t>(offset);
  for (std::size_t axis = 0; axis < shape.size(); ++axis) {
    if (index[axis] >= shape[axis]) {
      return std::unexpected<ArrayError>(OutOfBounds{copy_of(index), copy_of(shape)});
    }
    if (index[axis] > kMaxSigned) return overflow("layout index conversion");
    std::int64_t step = 0;
    if (__builtin_mul_overflow(static_cast<std::int64_t>(index[axis]), strides[axis], &step)) {
      return overflow("layout offset multiplication");
    }
    if (__builtin_add_overflow(position, step, &position)) return overflow("layout offset accumulation");
  }
  if (position < 0) {
    return storage_error("layout index accesses negative physical offset " + std::to_string(position));
  }
  return static_cast<std::uint64_t>(position);
}

std::uint64_t size(ShapeSpan shape) {
  auto count = checked_size(shape);
  if (!count) platform::fail_invariant("layout shape product must fit in usize");
  return *count;
}

PhysicalWindow physical_window(ShapeSpan shape, StrideSpan strides, std::uint64_t offset) {
  auto bounds = physical_bounds(shape, strides, offset);
  if (!bounds) platform::fail_invariant("layout physical offsets must be non-negative and fit in usize");
  return {static_cast<std::uint64_t>(bounds->min), static_cast<std::uint64_t>(bounds->max)};
}

}  // namespace kavo
