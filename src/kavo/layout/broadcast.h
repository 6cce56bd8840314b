#pragma once
// Views a source layout with a target shape by giving repeated axes stride 0.
// Shapes align at their last axes; a source axis of extent 1 repeats, any
// other must match the target exactly. The offset is unchanged.

#include "kavo/error/array_error.h"
#include "kavo/layout/shape_arithmetic.h"

namespace kavo {

// Writes one stride per target axis into `out`.
Expected<void> fill_broadcast_strides(ShapeSpan shape, StrideSpan strides, ShapeSpan target,
                                      std::span<std::int64_t> out);

template <std::size_t TargetRank>
Expected<Strides<TargetRank>> broadcast_strides(ShapeSpan shape, StrideSpan strides,
                                                const Extents<TargetRank>& target) {
  Strides<TargetRank> out{};
  if constexpr (TargetRank == dynamic_rank) out.resize(target.size());
  if (auto filled = fill_broadcast_strides(shape, strides, target, out); !filled) {
    return std::unexpected(std::move(filled.error()));
  }
  return out;
}

}  // namespace kavo
