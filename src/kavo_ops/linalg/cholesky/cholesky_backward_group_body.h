#pragma once
// The loop of cholesky_backward_group.h, compiled by one source per tier
// with its own target flags (included inside an anonymous namespace there).

#include <cstddef>

#include "kavo_ops/linalg/cholesky/cholesky_backward_group.h"

namespace kavo_ops {
namespace {

// Four lanes of doubles as one value: each tier's flags decide how it maps
// onto registers (one YMM, two XMM, half a ZMM); the arithmetic is lane-wise.
// The helpers have internal linkage, so the ABI note g++ gives for passing
// such values without AVX concerns no caller outside this file.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
typedef double Lanes4 __attribute__((vector_size(32)));

inline Lanes4 load4(const double* p) noexcept {
  Lanes4 v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}

inline void store4(double* p, Lanes4 v) noexcept { __builtin_memcpy(p, &v, sizeof v); }

void backward_group_body(const double* l_transposed, std::size_t n, double* x) noexcept {
  constexpr std::size_t vectors = kCholeskyGroup / 4;
  for (std::size_t i = n; i-- > 0;) {
    const double* column = l_transposed + i * n;  // L[.][i]
    double* xi = x + i * kCholeskyGroup;
    // Eight independent chains per step: each subtraction waits only on its
    // own lane group's previous one.
    Lanes4 e[vectors];
    for (std::size_t v = 0; v < vectors; ++v) e[v] = load4(xi + 4 * v);
    for (std::size_t k = i + 1; k < n; ++k) {
      const double lki = column[k];
      const double* xk = x + k * kCholeskyGroup;
      for (std::size_t v = 0; v < vectors; ++v) e[v] -= load4(xk + 4 * v) * lki;
    }
    const double diagonal = column[i];
    for (std::size_t v = 0; v < vectors; ++v) store4(xi + 4 * v, e[v] / diagonal);
  }
}

#pragma GCC diagnostic pop

}  // namespace
}  // namespace kavo_ops
