#pragma once
// The loop of cholesky_backward_group.h, compiled by one source per tier
// with its own target flags (included inside an anonymous namespace there).

#include <cstddef>

#include "fyrel/lanes/lane_vector.h"
#include "kavo_ops/linalg/cholesky/cholesky_backward_group.h"

namespace kavo_ops {
namespace {

template <std::size_t Width>
void backward_group_body(const double* l_transposed, std::size_t n, double* x) noexcept {
  using Lanes = fyrel::LaneVector<double, Width>;
  using Reg = typename Lanes::Reg;
  constexpr std::size_t vectors = kCholeskyGroup / Width;
  for (std::size_t i = n; i-- > 0;) {
    const double* column = l_transposed + i * n;  // L[.][i]
    double* xi = x + i * kCholeskyGroup;
    // Independent chains per step: each subtraction waits only on its own
    // lane group's previous one.
    Reg e[vectors];
    for (std::size_t v = 0; v < vectors; ++v) e[v] = Lanes::load(xi + Width * v);
    for (std::size_t k = i + 1; k < n; ++k) {
      const double lki = column[k];
      const double* xk = x + k * kCholeskyGroup;
      for (std::size_t v = 0; v < vectors; ++v) e[v] -= Lanes::load(xk + Width * v) * lki;
    }
    const double diagonal = column[i];
    for (std::size_t v = 0; v < vectors; ++v) Lanes::store(xi + Width * v, e[v] / diagonal);
  }
}

}  // namespace
}  // namespace kavo_ops
