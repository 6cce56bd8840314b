#pragma once
// Contiguity tests. Axes of extent 1 never affect the answer, whatever their
// stride, since no step is ever taken along them.

#include "kavo/layout/shape_arithmetic.h"

namespace kavo {

bool is_c_contiguous(ShapeSpan shape, StrideSpan strides);  // row-major
bool is_f_contiguous(ShapeSpan shape, StrideSpan strides);  // column-major
bool is_contiguous(ShapeSpan shape, StrideSpan strides);

template <std::size_t Rank>
bool is_c_contiguous(const Layout<Rank>& layout) {
  return is_c_contiguous(layout.shape_span(), layout.strides_span());
}
template <std::size_t Rank>
bool is_f_contiguous(const Layout<Rank>& layout) {
  return is_f_contiguous(layout.shape_span(), layout.strides_span());
}
template <std::size_t Rank>
bool is_contiguous(const Layout<Rank>& layout) {
  return is_contiguous(layout.shape_span(), layout.strides_span());
}

}  // namespace kavo
