#include "kavo_ops/linalg/reflect_rows/reflect_rows.h"
#include "kavo_ops/linalg/schur/francis_steps.h"

namespace kavo_ops::francis {

void reflect_bulge_left(double* a, std::size_t row_stride, std::size_t k, std::size_t r, std::size_t c0,
                        std::size_t c1, const BulgeReflector& p) noexcept {
  if (c1 <= c0) return;
  reflect_bulge_left_part(a, row_stride, k, r, c0, c1, p, c1 - c0 > kWorkRowAbove);
}

void reflect_bulge_left_part(double* a, std::size_t row_stride, std::size_t k, std::size_t r, std::size_t c0,
                             std::size_t c1, const BulgeReflector& p, bool fused) noexcept {
  if (c1 <= c0) return;
  double* row0 = a + k * row_stride;
  double* row1 = row0 + row_stride;
  const double tail[2] = {p.v1, p.v2};
  if (fused) {
    // w = Σ vᵢ·rowᵢ, w ← τ·w, rowᵢ −= vᵢ·w, each term one fused multiply-add
    // (the axpy kernel's rounding), w held in registers chunk by chunk.
    reflect_rows(row0 + c0, row_stride, r, c1 - c0, 1.0, tail, 1, p.tau, ReflectRounding::fused);
    return;
  }
  if (r == 3) {
    double* row2 = row1 + row_stride;
    for (std::size_t j = c0; j < c1; ++j) {
      double sum = row0[j] + p.v1 * row1[j] + p.v2 * row2[j];
      sum = p.tau * sum;
      row0[j] -= sum;
      row1[j] -= p.v1 * sum;
      row2[j] -= p.v2 * sum;
    }
  } else {
    for (std::size_t j = c0; j < c1; ++j) {
      double sum = row0[j] + p.v1 * row1[j];
      sum = p.tau * sum;
      row0[j] -= sum;
      row1[j] -= p.v1 * sum;
    }
  }
}

void reflect_bulge_right(double* a, std::size_t row_stride, std::size_t r0, std::size_t r1, std::size_t k,
                         std::size_t r, const BulgeReflector& p) noexcept {
  for (std::size_t row = r0; row <= r1; ++row) {
    double* x = a + row * row_stride + k;
    if (r == 3) {
      double sum = x[0] + p.v1 * x[1] + p.v2 * x[2];
      sum = p.tau * sum;
      x[0] -= sum;
      x[1] -= sum * p.v1;
      x[2] -= sum * p.v2;
    } else {
      double sum = x[0] + p.v1 * x[1];
      sum = p.tau * sum;
      x[0] -= sum;
      x[1] -= sum * p.v1;
    }
  }
}

void reflect_bulge_transposed(double* zt, std::size_t n, std::size_t k, std::size_t r,
                              const BulgeReflector& p) noexcept {
  // Row i of Zᵀ is column i of Z; the loop is the right update above with
  // rows and columns exchanged, element for element the same operations.
  double* z0 = zt + k * n;
  double* z1 = z0 + n;
  if (r == 3) {
    double* z2 = z1 + n;
    for (std::size_t j = 0; j < n; ++j) {
      double sum = z0[j] + p.v1 * z1[j] + p.v2 * z2[j];
      sum = p.tau * sum;
      z0[j] -= sum;
      z1[j] -= sum * p.v1;
      z2[j] -= sum * p.v2;
    }
  } else {
    for (std::size_t j = 0; j < n; ++j) {
      double sum = z0[j] + p.v1 * z1[j];
      sum = p.tau * sum;
      z0[j] -= sum;
      z1[j] -= sum * p.v1;
    }
  }
}

}  // namespace kavo_ops::francis
