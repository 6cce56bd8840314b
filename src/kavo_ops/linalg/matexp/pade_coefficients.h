#pragma once
// Coefficients c_0..c_6 of the diagonal degree-6 Padé approximant of e^x,
// computed by the recurrence c_0 = 1,
//   c_k = (c_{k-1}·((6 - k) + 1)) / (k·((12 - k) + 1)),
// in float64 in exactly this operation order. They are 1, 1/2, 5/44, 1/66,
// 1/792, 1/15840, 1/665280, with c_3 and c_4 one unit in the last place
// below the correctly rounded fractions: the recurrence defines them.

#include <array>

namespace kavo_ops {

std::array<double, 7> pade6_coefficients() noexcept;

}  // namespace kavo_ops
