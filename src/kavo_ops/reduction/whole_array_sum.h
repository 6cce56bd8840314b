#pragma once
// whole_array_sum: float32 sum of every element of a view of rank 1 to 6,
// accumulated in float32. The result depends on the layout and the processor
// tier only through the fixed summation structure below, so it is
// reproducible on one machine.
//
//   Contiguous layouts (row- or column-major, window inside the storage):
//     one sum_slice over the window, in memory order.
//   Anything else, lane by lane: a lane is the run along the last axis for
//     one index of the leading axes, lanes taken in row-major order.
//     Last-axis stride 1 or -1: the lane's sum is sum_slice of its run (in
//     memory order); the first lane's sum starts the total and each further
//     lane's sum is added to it. Any other last-axis stride: the lane's
//     elements are added one at a time, in lane order, to the running total
//     (which starts at 0 if no lane came before).
//
// Errors: the view's check_storage error, and Overflow "layout shape
// product". An empty view sums to 0 without looking at strides or offset.
// Runs on the calling thread; allocates only for an error.

#include <cstddef>
#include <cstdint>

#include "kavo/error/array_error.h"
#include "kavo/layout/shape_arithmetic.h"
#include "kavo/view/view.h"

namespace kavo_ops {

inline constexpr std::size_t whole_array_sum_max_rank = 6;

// The same over a layout given as spans; a rank outside 1..6 is an invariant
// failure.
kavo::Expected<float> whole_array_sum(const float* storage, std::uint64_t storage_len,
                                      kavo::ShapeSpan shape, kavo::StrideSpan strides,
                                      std::uint64_t offset);

template <std::size_t Rank>
  requires(Rank >= 1 && Rank <= whole_array_sum_max_rank)
kavo::Expected<float> whole_array_sum(const kavo::View<float, Rank>& view) {
  return whole_array_sum(view.data, view.len, view.layout.shape_span(), view.layout.strides_span(),
                         view.layout.offset);
}

}  // namespace kavo_ops
