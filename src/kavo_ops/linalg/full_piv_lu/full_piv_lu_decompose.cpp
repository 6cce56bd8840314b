#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "kavo/assign/to_row_major.h"
#include "kavo_ops/linalg/common/finite_input.h"
#include "kavo_ops/linalg/common/square_order.h"
#include "kavo_ops/linalg/full_piv_lu/eliminate_row.h"
#include "kavo_ops/linalg/full_piv_lu/full_piv_lu.h"
#include "kavo_ops/linalg/full_piv_lu/largest_magnitude.h"
#include "kavo_ops/parallel/fixed_parts.h"
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

// Row i (finished at step i) takes the column exchanges of steps i+1 .. rank-1,
// in step order, as the entry-by-entry elimination gives them to every row.
void finish_column_exchanges(double* f, std::uint64_t n, std::uint64_t rank, const std::uint64_t* exchanged_with) {
  for (std::uint64_t i = 0; i < rank; ++i) {
    double* row = f + i * n;
    for (std::uint64_t j = i + 1; j < rank; ++j) {
      if (exchanged_with[j] != j) std::swap(row[j], row[exchanged_with[j]]);
    }
  }
}

}  // namespace

// 256 x 256 and larger blocks: about 20 us of updates per step, well above
// the cost of handing half of them to a worker that is still awake from the
// last step.
std::uint64_t full_piv_lu_parallel_entries() { return std::uint64_t{1} << 16; }

kavo::Expected<FullPivElimination> full_piv_lu_decompose(const kavo::View<double, 2>& a, std::uint64_t parallel_entries) {
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

  // exchanged_with[k]: the column step k exchanged with column k (k itself
  // when none). Rows above the pivot row are finished and never read again,
  // so their exchanges wait until the end (finish_column_exchanges); the
  // rows below take theirs in the pass that updates them.
  // (On the stack for small matrices, whose whole factorization takes
  // about as long as a heap allocation.)
  constexpr std::uint64_t kStackSteps = 64;
  std::uint64_t on_stack[kStackSteps];
  std::vector<std::uint64_t> on_heap(n > kStackSteps ? n : 0);
  std::uint64_t* exchanged_with = n > kStackSteps ? on_heap.data() : on_stack;
  const EliminateRowKernels::Eliminate eliminate = active_eliminate_row();

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
    exchanged_with[k] = c;
    if (c != k) {
      std::swap(pivot_row[k], pivot_row[c]);
      std::swap(result.col_perm[k], result.col_perm[c]);
      result.sign = -result.sign;
    }

    // Each row below: its column exchange, its multiplier, its update and
    // the next step's search in it, in one pass. Rows are independent, so
    // any split of them gives the same bits.
    const double pivot = pivot_row[k];
    const std::uint64_t tail = n - k - 1;
    auto eliminate_rows = [&](std::uint64_t first, std::uint64_t end) {
      for (std::uint64_t i = first; i < end; ++i) {
        double* row = f + i * n;
        if (c != k) std::swap(row[k], row[c]);
        const double multiplier = row[k] / pivot;
        row[k] = multiplier;
        row_largest[i] = eliminate(-multiplier, pivot_row + k + 1, row + k + 1, tail);
      }
    };
    if (tail * tail < parallel_entries) {
      eliminate_rows(k + 1, n);
    } else {
      for_each_fixed_part(tail, fixed_part_count(tail, 1), 1,
                          [&](std::uint64_t begin, std::uint64_t end) { eliminate_rows(k + 1 + begin, k + 1 + end); });
    }
  }
  result.rank = k;
  finish_column_exchanges(f, n, k, exchanged_with);
  return result;
}

}  // namespace kavo_ops
