#pragma once
// The loop every tier compiles with its own target flags (included by one
// source per tier, inside an anonymous namespace there). Plain lane-wise
// multiplies and subtracts: the compiler's vectorisation cannot change a bit
// because the project builds with -ffp-contract=off.

#include <cstddef>

namespace kavo_ops {
namespace {

void rotate_pair_body(double* __restrict x, double* __restrict y, std::size_t count, double c, double s) noexcept {
  for (std::size_t k = 0; k < count; ++k) {
    const double xk = x[k];
    const double yk = y[k];
    x[k] = c * xk - s * yk;
    y[k] = c * yk + s * xk;
  }
}

}  // namespace
}  // namespace kavo_ops
