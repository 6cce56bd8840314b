#pragma once
// The smallest power-of-two move of a positive magnitude into a window.

#include <optional>

namespace kavo_ops {

// For finite a > 0 and finite 0 < lo ≤ hi:
//  - std::nullopt when lo ≤ a ≤ hi (no scaling);
//  - a > hi: the smallest s ≥ 1 with a·2^-s ≤ hi;
//  - a < lo: the s ≤ -1 of smallest magnitude with a·2^-s ≥ lo.
// Each a·2^-s is formed by scale_by_power_of_two, so it is exact unless it
// lands among the subnormals. Only one end is tested; the product lies inside
// the window whenever hi ≥ 2·lo (the gate's windows span hundreds of binades).
// Other arguments are an internal invariant failure.
std::optional<int> scale_exponent_into(double a, double lo, double hi);

}  // namespace kavo_ops
