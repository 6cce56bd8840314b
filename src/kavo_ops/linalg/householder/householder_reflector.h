#pragma once
// The Householder reflector shared by the orthogonal factorizations:
// H = I - tau * v * v^T, symmetric and orthogonal, with H * x = beta * e_1
// for the vector x it was generated from. v is not normalised to a leading
// 1; tau = 2 / (v^T v).
//
// Generation scales a copy of x by a power of two (exact) before summing
// squares, so entries near either end of the float64 range neither overflow
// nor vanish; beta is scaled back the same way. Every sum is one accumulator
// in increasing index order.

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace kavo_ops {

struct HouseholderReflector {
  std::vector<double> v;  // as long as the generating vector
  double tau = 0.0;
  double beta = 0.0;
};

// No reflector is needed (std::nullopt) when x has fewer than two entries,
// when every entry after the first is exactly zero (NaN counts as nonzero),
// or when the largest magnitude is exactly zero.
std::optional<HouseholderReflector> generate_reflector(std::span<const double> x);

// Rows r0 .. r0+len(v)-1, columns [c0, c1) of the row-major matrix `a`
// (row stride `row_stride`) become H * (that block):
//   w = 0;  w += v[i] * A[r0+i][c0..c1)  (i ascending);  w = tau * w;
//   A[r0+i][c0..c1) += -v[i] * w
// each step rounded as the axpy slice kernel rounds (one fused multiply-add
// per element), with w held in registers column chunk by column chunk.
void apply_reflector_left(const HouseholderReflector& h, std::span<double> a, std::size_t row_stride,
                          std::size_t r0, std::size_t c0, std::size_t c1);

// For each row r in [r0, r1): A[r][c0 .. c0+len(v)) becomes (that segment) * H:
//   s = dot(segment, v),  segment += -(s * tau) * v.
void apply_reflector_right(const HouseholderReflector& h, std::span<double> a, std::size_t row_stride,
                           std::size_t r0, std::size_t r1, std::size_t c0);

}  // namespace kavo_ops
