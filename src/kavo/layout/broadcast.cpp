#include "kavo/layout/broadcast.h"

#include <algorithm>

namespace kavo {

Expected<void> fill_broadcast_strides(ShapeSpan shape, StrideSpan strides, ShapeSpan target,
                                      std::span<std::int64_t> out) {
  require_stride_per_axis(shape, strides);
  auto incompatible = [&] {
    return std::unexpected<ArrayError>(IncompatibleBroadcast{IndexList(shape.begin(), shape.end()),
                                                             IndexList(target.begin(), target.end())});
  };
  if (target.size() < shape.size()) return incompatible();
  std::ranges::fill(out, 0);
  std::size_t lead = target.size() - shape.size();
  for (std::size_t axis = 0; axis < shape.size(); ++axis) {
    if (shape[axis] == target[axis + lead]) {
      out[axis + lead] = strides[axis];
    } else if (shape[axis] != 1) {
      return incompatible();
    }
  }
  return {};
}

}  // namespace kavo
