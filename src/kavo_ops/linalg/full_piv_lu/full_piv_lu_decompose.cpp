#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "kavo/assign/to_row_major.h"
#include "kavo_ops/linalg/common/finite_input.h"
#include "kavo_ops/linalg/common/square_order.h"
#include "kavo_ops/linalg/full_piv_lu/full_piv_lu.h"
#include "kavo_ops/linalg/full_piv_lu/largest_magnitude.h"
#include "kavo_ops/slice_kernels/slice_kernel_table.h"
#include "platform/interrupt.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {
namespace {

kavo::Buffer<std::uint64_t> identity_permutation(std::uint64_t n) {
  kavo::Buffer<std::uint64_t> permutation(n);
  std::iota(permutation.data(), permutation.data() + n, std::uint64_t{0});
  return permutation;
}

}  // namespace

kavo::Expected<FullPivElimination> full_piv_lu_decompose(const kavo::View<double, 2>& a) {
  auto order = square_order(a.layout);
  if (!order) return std::unexpected(std::move(order.error()));
  const std::uint64_t n = *order;

  FullPivElimination result;
  result.order = n;
  result.factors = kavo::to_row_major_owned(a).take_buffer();
  platform::ensure(result.factors.size() == n * n, "invariant: full-pivoting LU storage holds n * n entries");
  double* f = result.factors.data();
  if (auto finite = require_finite({f, n * n}, "FullPivLU"); !finite) return std::unexpected(std::move(finite.error()));

  // row_largest[i]: the largest magnitude in row i of the block still to be
  // searched (columns k..n-1).
  std::vector<double> row_largest(n);
  double largest = 0.0;
  for (std::uint64_t i = 0; i < n; ++i) {
    row_largest[i] = largest_magnitude({f + i * n, n});
    if (row_largest[i] > largest) largest = row_largest[i];
  }
  const double threshold = largest * kFullPivRankTolerance;
  result.row_perm = identity_permutation(n);
  result.col_perm = identity_permutation(n);

  // The axpy slice kernel of the active tier, looked up once instead of on
  // each of the n^2/2 row updates (the lengths match by construction).
  const SliceKernelTable::AxpyF64 axpy = active_slice_kernels().axpy_f64;

  std::uint64_t k = 0;
  for (; k < n; ++k) {
    platform::throw_if_interrupted();
    double* pivot_row = f + k * n;
    // First maximum of the block in row-major order, starting from (k, k):
    // rows compete by their largest magnitudes, and the column is looked up
    // only in the winning row. A NaN at (k, k) (an overflow inside the
    // elimination) is never replaced, exactly as in the entry-by-entry scan.
    std::uint64_t r = k;
    std::uint64_t c = k;
    bool replaced = false;
    double best = std::fabs(pivot_row[k]);
    if (!std::isnan(best)) {
      for (std::uint64_t i = k; i < n; ++i) {
        if (row_largest[i] > best) {
          best = row_largest[i];
          r = i;
          replaced = true;
        }
      }
    }
    if (best <= threshold) break;
    if (replaced) c = k + first_with_magnitude({f + r * n + k, n - k}, best);

    if (r != k) {
      std::swap_ranges(pivot_row, pivot_row + n, f + r * n);
      std::swap(result.row_perm[k], result.row_perm[r]);
      result.sign = -result.sign;
    }
    if (c != k) {
      for (std::uint64_t i = 0; i < n; ++i) std::swap(f[i * n + k], f[i * n + c]);
      std::swap(result.col_perm[k], result.col_perm[c]);
      result.sign = -result.sign;
    }

    const double pivot = pivot_row[k];
    const std::uint64_t tail = n - k - 1;
    for (std::uint64_t i = k + 1; i < n; ++i) {
      double* row = f + i * n;
      const double multiplier = row[k] / pivot;
      row[k] = multiplier;
      axpy(-multiplier, pivot_row + k + 1, row + k + 1, tail);
      // The next step's search, while this row is still in cache.
      row_largest[i] = largest_magnitude({row + k + 1, tail});
    }
  }
  result.rank = k;
  return result;
}

}  // namespace kavo_ops
