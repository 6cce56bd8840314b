#pragma once
// out[i] = fma(alpha, x[i], out[i]): the multiply and the add rounded once,
// on every tier, so the result does not depend on the processor. With
// alpha = 0, out is unchanged except where x holds NaN or infinity.
// len(x) must equal len(out) ("axpy_slice: x.len() != out.len()" otherwise).

#include <span>

namespace kavo_ops {

void axpy_slice(float alpha, std::span<const float> x, std::span<float> out);
void axpy_slice(double alpha, std::span<const double> x, std::span<double> out);

}  // namespace kavo_ops
