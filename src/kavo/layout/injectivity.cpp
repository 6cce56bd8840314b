#include "kavo/layout/injectivity.h"

#include <optional>

namespace kavo {
namespace {

using Wide = __int128;

std::uint64_t magnitude(std::int64_t stride) {
  return stride < 0 ? std::uint64_t(0) - static_cast<std::uint64_t>(stride)
                    : static_cast<std::uint64_t>(stride);
}

bool live(std::uint64_t extent) { return extent >= 2; }

enum class FastAnswer { injective, aliased, undecided };

// Accepts axes in increasing stride magnitude while each one's magnitude
// exceeds the span already covered by the smaller ones.
Expected<FastAnswer> fast_test(ShapeSpan shape, StrideSpan strides) {
  std::uint64_t covered = 0;
  std::uint64_t floor = 0;
  for (;;) {
    std::optional<std::size_t> picked;
    for (std::size_t axis = 0; axis < shape.size(); ++axis) {
      if (!live(shape[axis])) continue;
      std::uint64_t m = magnitude(strides[axis]);
      if (m == 0) return FastAnswer::aliased;
      if (m > floor && (!picked || m < magnitude(strides[*picked]))) picked = axis;
    }
    if (!picked) return FastAnswer::injective;
    std::uint64_t m = magnitude(strides[*picked]);
    int same = 0;
    for (std::size_t axis = 0; axis < shape.size(); ++axis) {
      if (live(shape[axis]) && magnitude(strides[axis]) == m) ++same;
    }
    if (same >= 2 || m <= covered) return FastAnswer::undecided;
    std::uint64_t span = 0;
    if (__builtin_mul_overflow(m, shape[*picked] - 1, &span)) return overflow("layout injectivity axis span");
    if (__builtin_add_overflow(covered, span, &covered)) return overflow("layout injectivity covered span");
    floor = m;
  }
}

struct Search {
  ShapeSpan shape;
  StrideSpan strides;
  std::size_t pivot;

  // Depth-first over the non-pivot axes from `axis` on; true on a collision.
  Expected<bool> collides(std::size_t axis, Wide sum, bool any_nonzero) const {
    if (axis == shape.size()) return solve_pivot(sum, any_nonzero);
    if (axis == pivot) return collides(axis + 1, sum, any_nonzero);
    auto reach = static_cast<Wide>(shape[axis] == 0 ? 0 : shape[axis] - 1);
    for (Wide d = -reach; d <= reach; ++d) {
      Wide term = 0;
      Wide next = 0;
      if (__builtin_mul_overflow(d, static_cast<Wide>(strides[axis]), &term) ||
          __builtin_add_overflow(sum, term, &next)) {
        return overflow("layout injectivity difference sum");
      }
      auto found = collides(axis + 1, next, any_nonzero || d != 0);
      if (!found || *found) return found;
    }
    return false;
  }

  Expected<bool> solve_pivot(Wide sum, bool any_nonzero) const {
    auto stride = static_cast<Wide>(strides[pivot]);
    if (stride == 0 || sum % stride != 0) return false;
    Wide negated = 0;
    if (__builtin_sub_overflow(Wide{0}, sum, &negated)) return overflow("layout injectivity solved difference");
    Wide d = negated / stride;
    Wide reach = static_cast<Wide>(shape[pivot] == 0 ? 0 : shape[pivot] - 1);
    Wide abs_d = d < 0 ? -d : d;
    return abs_d <= reach && (any_nonzero || d != 0);
  }
};

std::size_t longest_axis(ShapeSpan shape) {
  std::size_t pivot = 0;
  for (std::size_t axis = 0; axis < shape.size(); ++axis) {
    std::uint64_t reach = shape[axis] == 0 ? 0 : shape[axis] - 1;
    std::uint64_t best = shape[pivot] == 0 ? 0 : shape[pivot] - 1;
    if (reach >= best) pivot = axis;  // ties go to the last axis
  }
  return pivot;
}

}  // namespace

Expected<bool> is_injective(ShapeSpan shape, StrideSpan strides) {
  require_stride_per_axis(shape, strides);
  if (shape.empty() || has_zero_extent(shape)) return true;
  auto count = checked_size(shape);
  if (!count) return std::unexpected(std::move(count.error()));
  if (*count < 2) return true;

  auto fast = fast_test(shape, strides);
  if (!fast) return std::unexpected(std::move(fast.error()));
  if (*fast == FastAnswer::injective) return true;
  if (*fast == FastAnswer::aliased) return false;

  Search search{shape, strides, longest_axis(shape)};
  auto found = search.collides(0, 0, false);
  if (!found) return std::unexpected(std::move(found.error()));
  return !*found;
}

}  // namespace kavo
