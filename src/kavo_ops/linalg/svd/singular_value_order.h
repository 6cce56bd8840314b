#pragma once
// The order singular values are returned in: non-increasing, ties keeping
// their position (stable), every value made non-negative first (+0, never -0).

#include <cstddef>
#include <span>
#include <vector>

namespace kavo_ops {

// Makes every value |value| and returns the stable non-increasing order as
// a permutation (result j = value at position order[j]). `negated[i]` is set
// for each value that was negative. A NaN is an internal invariant failure
// with `nan_message`.
std::vector<std::size_t> order_singular_values(std::span<double> values, std::vector<bool>* negated,
                                               const char* nan_message);

}  // namespace kavo_ops
