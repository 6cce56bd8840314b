#pragma once
// The pivot search's row scans. Together they give what the plain scan
//   best = -1; for j: if (|x[j]| > best) { best = |x[j]|; at = j; }
// gives (a later entry must be strictly larger to win, NaN never wins), but
// the position is looked for only in the one row that supplies the pivot.

#include <cstdint>
#include <span>

namespace kavo_ops {

// max |x[j]| over the non-NaN entries; -1 when there are none.
double largest_magnitude(std::span<const double> values);

// The first j with |x[j]| == magnitude; `magnitude` must occur.
std::uint64_t first_with_magnitude(std::span<const double> values, double magnitude);

}  // namespace kavo_ops
