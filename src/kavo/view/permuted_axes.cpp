#include "kavo/view/permuted_axes.h"

#include "kavo/layout/shape_arithmetic.h"

namespace kavo {

Expected<Layout<2>> permuted_axes(const Layout<2>& layout, std::array<std::size_t, 2> order) {
  std::array<bool, 2> seen{};
  for (std::size_t axis : order) {
    if (axis >= 2) return storage_error("Axis " + std::to_string(axis) + " out of range for transposition");
    if (seen[axis]) return storage_error("Duplicate axis " + std::to_string(axis) + " in transposition");
    seen[axis] = true;
  }
  Layout<2> permuted{{layout.shape[order[0]], layout.shape[order[1]]},
                     {layout.strides[order[0]], layout.strides[order[1]]},
                     layout.offset};
  if (auto count = checked_size(permuted); !count) return std::unexpected(std::move(count.error()));
  if (auto bounds = physical_bounds(permuted); !bounds) return std::unexpected(std::move(bounds.error()));
  return permuted;
}

}  // namespace kavo
