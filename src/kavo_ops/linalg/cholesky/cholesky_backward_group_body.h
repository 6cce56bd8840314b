#pragma once
// The loop of cholesky_backward_group.h, compiled by one source per tier
// with its own target flags (included inside an anonymous namespace there).

#include <cstddef>

#include "kavo_ops/linalg/cholesky/cholesky_backward_group.h"
#include "kavo_ops/linalg/common/double_lanes.h"

namespace kavo_ops {
namespace {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
template <std::size_t Width>
void backward_group_body(const double* l_transposed, std::size_t n, double* x) noexcept {
  using Lanes = typename DoubleLanes<Width>::type;
  constexpr std::size_t vectors = kCholeskyGroup / Width;
  for (std::size_t i = n; i-- > 0;) {
    const double* column = l_transposed + i * n;  // L[.][i]
    double* xi = x + i * kCholeskyGroup;
    // Independent chains per step: each subtraction waits only on its own
    // lane group's previous one.
    Lanes e[vectors];
    for (std::size_t v = 0; v < vectors; ++v) e[v] = load_lanes<Lanes>(xi + Width * v);
    for (std::size_t k = i + 1; k < n; ++k) {
      const double lki = column[k];
      const double* xk = x + k * kCholeskyGroup;
      for (std::size_t v = 0; v < vectors; ++v) e[v] -= load_lanes<Lanes>(xk + Width * v) * lki;
    }
    const double diagonal = column[i];
    for (std::size_t v = 0; v < vectors; ++v) store_lanes(xi + Width * v, e[v] / diagonal);
  }
}

#pragma GCC diagnostic pop

}  // namespace
}  // namespace kavo_ops
