#pragma once
// Whether two different logical indices of a layout can reach the same
// physical position (an output view that aliases itself).
//
// A fast sufficient test settles every layout whose stride magnitudes are
// distinct and each larger than the span of all smaller ones (row- and
// column-major layouts, their transposes, reversals and strided slices).
// Anything else goes to an exact search for a non-zero difference vector d,
// |d_k| <= n_k - 1, with sum(d_k * s_k) = 0. The search is exponential in the
// rank but allocates nothing; the longest axis is solved for instead of
// enumerated, which removes the largest factor.

#include "kavo/layout/shape_arithmetic.h"

namespace kavo {

Expected<bool> is_injective(ShapeSpan shape, StrideSpan strides);

template <std::size_t Rank>
Expected<bool> is_injective(const Layout<Rank>& layout) {
  return is_injective(layout.shape_span(), layout.strides_span());
}

}  // namespace kavo
