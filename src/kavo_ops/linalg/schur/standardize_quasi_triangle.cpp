#include "kavo_ops/linalg/schur/francis_steps.h"

namespace kavo_ops::francis {
namespace {

// x' = cs·x + sn·y, y' = cs·y − sn·x (BLAS DROT) over `count` pairs.
void rotate(double* x, double* y, std::size_t stride, std::size_t count, double cs, double sn) noexcept {
  for (std::size_t i = 0; i < count; ++i) {
    const double xi = x[i * stride];
    const double yi = y[i * stride];
    x[i * stride] = cs * xi + sn * yi;
    y[i * stride] = cs * yi - sn * xi;
  }
}

}  // namespace

void standardize_quasi_triangle(ActiveMatrix& m, std::complex<double>* eigenvalues) noexcept {
  const std::size_t n = m.n;
  std::size_t k = 0;
  while (k < n) {
    if (k + 1 == n || m.at(k + 1, k) == 0.0) {
      if (eigenvalues) eigenvalues[k] = {m.at(k, k), 0.0};
      k += 1;
      continue;
    }
    const StandardBlock s = standardize_block(m.at(k, k), m.at(k, k + 1), m.at(k + 1, k), m.at(k + 1, k + 1));
    if (m.full) {
      m.at(k, k) = s.a;
      m.at(k, k + 1) = s.b;
      m.at(k + 1, k) = s.c;
      m.at(k + 1, k + 1) = s.d;
      rotate(&m.at(k, k + 2), &m.at(k + 1, k + 2), 1, n - k - 2, s.cs, s.sn);
      rotate(&m.at(0, k), &m.at(0, k + 1), n, k, s.cs, s.sn);
      if (m.zt) rotate(m.zt + k * n, m.zt + (k + 1) * n, 1, n, s.cs, s.sn);
    }
    if (eigenvalues) {
      eigenvalues[k] = {s.rt1r, s.rt1i};
      eigenvalues[k + 1] = {s.rt2r, s.rt2i};
    }
    k += 2;
  }
}

}  // namespace kavo_ops::francis
