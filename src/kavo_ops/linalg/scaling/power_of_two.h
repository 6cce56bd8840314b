#pragma once
// Exact power-of-two rescaling of float64 values, used wherever a
// factorization moves its input into a safe range and its results back.

namespace kavo_ops {

// e with |x| = f·2^e, 1 ≤ f < 2; for a subnormal x the exponent of its
// leading bit; 0 when x is zero, infinite or NaN.
int binary_exponent(double x) noexcept;

// x·2^e as exact multiplications: one factor when −1022 ≤ e ≤ 1023,
// otherwise first by 2^1023 (or 2^−969), once or twice, then by the rest, so
// no intermediate overflows or underflows before the final product.
double scale_by_power_of_two(double x, int e) noexcept;

}  // namespace kavo_ops
