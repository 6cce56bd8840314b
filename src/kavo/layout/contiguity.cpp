#include "kavo/layout/contiguity.h"

#include <limits>

namespace kavo {
namespace {

// Checks one axis against the dense stride expected of it and advances the
// expectation; false once the layout cannot be dense in this order.
bool dense_step(std::uint64_t extent, std::int64_t stride, std::int64_t& expected) {
  if (extent == 1) return true;
  if (extent > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return false;
  if (stride != expected) return false;
  return !__builtin_mul_overflow(expected, static_cast<std::int64_t>(extent), &expected);
}

}  // namespace

bool is_c_contiguous(ShapeSpan shape, StrideSpan strides) {
  require_stride_per_axis(shape, strides);
  std::int64_t expected = 1;
  for (std::size_t axis = shape.size(); axis-- > 0;) {
    if (!dense_step(shape[axis], strides[axis], expected)) return false;
  }
  return true;
}

bool is_f_contiguous(ShapeSpan shape, StrideSpan strides) {
  require_stride_per_axis(shape, strides);
  std::int64_t expected = 1;
  for (std::size_t axis = 0; axis < shape.size(); ++axis) {
    if (!dense_step(shape[axis], strides[axis], expected)) return false;
  }
  return true;
}

bool is_contiguous(ShapeSpan shape, StrideSpan strides) {
  return is_c_contiguous(shape, strides) || is_f_contiguous(shape, strides);
}

}  // namespace kavo
