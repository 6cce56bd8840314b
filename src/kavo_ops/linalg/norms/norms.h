#pragma once
// Entrywise matrix norms of a float64 matrix view, read in place (no copy).
//
//   Frobenius  sqrt(sum a_ij^2): the plain sum of squares, no rescaling, so
//              entries beyond about 1e154 overflow it to infinity and
//              entries below about 1e-162 underflow to zero.
//   Max        max |a_ij|; 0 for an empty matrix.
//   Sum        sum |a_ij|; 0 for an empty matrix.
//
// NaN: any NaN entry makes every kind NaN. For Frobenius and Sum this is
// what IEEE arithmetic gives anyway; for Max it is a choice (a lane-wise
// maximum instruction would silently drop NaNs depending on operand order),
// made to agree with numpy.linalg.norm and np.abs(a).max().
//
// Order of work, all on the calling thread: a C-contiguous view runs one
// slice kernel over its whole block; any other view is walked row by row, a
// row with column stride 1 through the slice kernel and any other row
// element by element, and the row results are combined (maximum, or sum
// before the final square root).
// Sums therefore depend on the layout and the processor tier in the last
// bits; Max never does.
// Not spread over the executor: measured on the 2-core test machine under
// load, handing 512 KiB chunks to workers cost 1-1.5 ms per call against
// 0.06-2 ms for the whole single-threaded pass (512 x 512 to 2000 x 2000).
//
// Errors: Overflow "layout shape product" when the extents' product does not
// fit; the view's check_storage error when its layout reaches outside its
// storage (nothing outside the storage is ever read).

#include <optional>
#include <string_view>

#include "kavo/error/array_error.h"
#include "kavo/view/view.h"

namespace kavo_ops {

enum class EntrywiseNorm { Frobenius, Max, Sum };

// The kind an order string names: "fro", "2", "l2" -> Frobenius; "max",
// "inf" -> Max; "1", "l1" -> Sum; anything else (case-sensitive) -> none.
std::optional<EntrywiseNorm> parse_norm_order(std::string_view order) noexcept;

kavo::Expected<double> entrywise_norm(const kavo::View<double, 2>& a, EntrywiseNorm kind);

}  // namespace kavo_ops
