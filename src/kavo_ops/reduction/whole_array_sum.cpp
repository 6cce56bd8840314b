#include "kavo_ops/reduction/whole_array_sum.h"

#include <array>
#include <optional>
#include <span>

#include "kavo/layout/contiguity.h"
#include "kavo_ops/slice_kernels/sum_slice.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {
namespace {

// Adds one lane to the running total. Every position of the lane belongs to a
// layout that passed check_storage, so none lies outside the storage.
std::optional<float> add_lane(const float* storage, std::uint64_t storage_len, std::uint64_t first,
                              std::uint64_t lane_len, std::int64_t lane_stride,
                              std::optional<float> total) {
  auto add_run = [&](std::uint64_t start) {
    const float lane_sum = sum_slice(std::span<const float>(storage + start, lane_len));
    return total ? *total + lane_sum : lane_sum;
  };
  if (lane_stride == 1 && first <= storage_len && lane_len <= storage_len - first) {
    return add_run(first);
  }
  if (lane_stride == -1 && first < storage_len && first >= lane_len - 1) {
    return add_run(first - (lane_len - 1));
  }
  float running = total.value_or(0.0f);
  auto position = static_cast<std::int64_t>(first);
  for (std::uint64_t j = 0; j < lane_len; ++j) {
    running = running + storage[position];
    if (j + 1 < lane_len) position += lane_stride;
  }
  return running;
}

}  // namespace

kavo::Expected<float> whole_array_sum(const float* storage, std::uint64_t storage_len,
                                      kavo::ShapeSpan shape, kavo::StrideSpan strides,
                                      std::uint64_t offset) {
  const std::size_t rank = shape.size();
  platform::ensure(rank >= 1 && rank <= whole_array_sum_max_rank,
                   "invariant: whole_array_sum takes ranks 1 to 6");
  kavo::require_stride_per_axis(shape, strides);
  if (auto fits = kavo::check_storage(shape, strides, offset, storage_len); !fits) {
    return std::unexpected(std::move(fits.error()));
  }
  // Zero extents first: an empty shape such as [2^40, 2^40, 0] must not fail
  // the product check on its way to 0.
  if (kavo::has_zero_extent(shape)) return 0.0f;
  const auto count = kavo::checked_size(shape);
  if (!count) return std::unexpected(std::move(count.error()));

  if (kavo::is_contiguous(shape, strides) && offset <= storage_len && *count <= storage_len - offset) {
    return sum_slice(std::span<const float>(storage + offset, *count));
  }

  const std::size_t last = rank - 1;
  std::array<std::uint64_t, whole_array_sum_max_rank> index{};  // the last axis stays 0
  const std::span<const std::uint64_t> lane_start(index.data(), rank);
  std::optional<float> total;
  for (bool more_lanes = true; more_lanes;) {
    auto first = kavo::offset_of(shape, strides, offset, lane_start);
    if (!first) return std::unexpected(std::move(first.error()));
    total = add_lane(storage, storage_len, *first, shape[last], strides[last], total);
    more_lanes = false;
    for (std::size_t axis = last; axis-- > 0;) {
      if (++index[axis] < shape[axis]) {
        more_lanes = true;
        break;
      }
      index[axis] = 0;
    }
  }
  if (!total) return kavo::storage_error("all-elements reduction traversal produced no elements");
  return *total;
}

}  // namespace kavo_ops
