#pragma once
// One step k of the accumulating reduction on its row-major m x n working
// copy: the left reflector (from column k) over rows k.., columns k+1..;
// then the right reflector, generated from row k as the left update left
// it, over rows k+1.., columns k+1... Large steps run as two passes over the
// rows instead of three:
//   pass 1  w = tau * (v^T A[k.., k+1..)) column by column, each w[j] the
//           chain fma(v[r], A[k+r][j], w[j]) from 0 over ascending r (the
//           rounding of the shared reflector's left application); row k
//           takes its left update and yields the right reflector g
//   pass 2  every row r > k: A[r][k+1..) = fma(-v[r-k], w, A[r][k+1..)),
//           then s = dot(A[r][k+1..), g), A[r][k+1..) += -(s tau_g) g
// Each element sees the plain order (left update, then right update), so
// the bits are those of the plain calls; pass 1 splits over column ranges
// and pass 2 over rows, on the executor. Small steps make the plain calls.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "kavo_ops/linalg/householder/householder_reflector.h"

namespace kavo_ops {

// Steps whose trailing block has fewer than `parallel_elements` entries make
// the plain calls on the calling thread; larger ones hand out
// `column_chunk` columns and `row_chunk` rows at a time. The defaults were
// measured on two cores; tests force small ones.
struct BidiagonalSplit {
  std::uint64_t parallel_elements = std::uint64_t{1} << 17;
  std::size_t column_chunk = 64;
  std::size_t row_chunk = 12;
};

// The reflectors step k applied (either may be absent).
struct BidiagonalStep {
  std::optional<HouseholderReflector> left;
  std::optional<HouseholderReflector> right;
};

// Step k on `a` (m x n, m >= n): generates both reflectors, applies them,
// and writes beta and the exact zeros of column k and row k. `w` holds at
// least n entries; `column` at least m.
BidiagonalStep reduce_bidiagonal_step(double* a, std::size_t m, std::size_t n, std::size_t k, double* w,
                                      double* column, const BidiagonalSplit& split);

}  // namespace kavo_ops
