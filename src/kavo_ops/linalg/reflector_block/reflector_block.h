#pragma once
// A panel of consecutive Householder reflectors gathered into one block,
// H_X * H_{X+1} * ... * H_{X+b-1} = I - V * T * V^T, so that applying the
// whole panel to the columns right of it costs three matrix products instead
// of b rank-one sweeps.
//
// The reflectors are read from a factorization's working copy in the layout
// the QR panel leaves: column X+l holds reflector l's tail below the
// diagonal, its first entry and its tau live in separate per-column arrays.

#include <cstddef>
#include <span>
#include <vector>

namespace kavo_ops {

struct ReflectorBlock {
  std::size_t rows = 0;   // m - X
  std::size_t width = 0;  // b
  std::vector<double> v;  // rows x width row-major, zero above the diagonal
  std::vector<double> t;  // width x width row-major, upper triangular
};

// V from the stored reflectors of columns [first, end) of the m-row matrix
// `a` (row stride `row_stride`), and T by the forward recurrence:
//   T[i][i] = tau_i;  z = V[:, 0..i)^T * V[:, i];
//   T[l][i] = (sum_{t=l}^{i-1} T[l][t] * z[t]) * (-tau_i).
ReflectorBlock accumulate_reflector_block(std::span<const double> a, std::size_t row_stride, std::size_t m,
                                          std::size_t first, std::size_t end, std::span<const double> heads,
                                          std::span<const double> taus);

// C = A[first.., c0..c1) becomes C - V * T^T * V^T * C (the panel's H^T applied
// from the left; the block's rows start at row `first`):
//   W = V^T * C;  W = T^T * W;  C += V * (-W)
// with the matrix product kernel.
void apply_reflector_block(const ReflectorBlock& block, std::span<double> a, std::size_t row_stride,
                           std::size_t first, std::size_t c0, std::size_t c1);

}  // namespace kavo_ops
