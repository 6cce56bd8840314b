#include <algorithm>
#include <cmath>
#include <optional>
#include <span>

#include "kavo/assign/to_row_major.h"
#include "kavo/layout/contiguity.h"
#include "kavo_ops/linalg/common/square_order.h"
#include "kavo_ops/linalg/common/symmetric_input.h"
#include "kavo_ops/linalg/udu/udu.h"
#include "kavo_ops/parallel/fixed_parts.h"
#include "kavo_ops/slice_kernels/shared_operand_dots.h"
#include "kavo_ops/slice_kernels/dot_slice.h"
#include "platform/interrupt.h"

namespace kavo_ops {
namespace {

// Pivots at or below this fraction of the largest input magnitude count as
// zero: the matrix needs symmetric pivoting, which this factorization lacks.
constexpr double kPivotTolerance = 1e-12;

// Columns computed in one pass over the rows above them: each row's
// segment of U is fetched once for all of them instead of once per column.
constexpr std::uint64_t kColumnsPerPass = 4;
// Rows handed to the grouped dot at once: whole groups on every tier.
constexpr std::uint64_t kRowBatch = 12;

// One pass: columns c, c-1, .., c-count+1, whose pivots and weights are
// known (pivots[b], weights[b] for column c-b). For rows i in [first, end),
// all below the pass's columns, and b ascending:
//   U[i][c-b] = (A[i][c-b] - dot(U[i][c-b+1..n), w_b)) / pivot_b,
// each dot the lone dot's bits, w_b loaded once for several rows.
struct Pass {
  const double* input;
  double* u;
  std::uint64_t n;
  std::uint64_t c;
  std::uint64_t count;
  const double* const* weights;
  const double* pivots;

  void rows(std::uint64_t first, std::uint64_t end) const {
    const double* segments[kRowBatch];
    double sums[kRowBatch];
    for (std::uint64_t i0 = first; i0 < end; i0 += kRowBatch) {
      const std::uint64_t batch = std::min(kRowBatch, end - i0);
      for (std::uint64_t b = 0; b < count; ++b) {
        const std::uint64_t column = c - b;
        for (std::uint64_t r = 0; r < batch; ++r) segments[r] = u + (i0 + r) * n + column + 1;
        shared_operand_dots(weights[b], segments, batch, n - 1 - column, sums);
        for (std::uint64_t r = 0; r < batch; ++r) {
          const std::uint64_t i = i0 + r;
          u[i * n + column] = (input[i * n + column] - sums[r]) / pivots[b];
        }
      }
    }
  }
};

}  // namespace

std::uint64_t udu_parallel_entries() { return std::uint64_t{1} << 15; }

kavo::Expected<UduFactors> udu_factor(const kavo::View<double, 2>& a, std::uint64_t parallel_entries) {
  auto order = square_order(a.layout);
  if (!order) return std::unexpected(std::move(order.error()));
  const std::uint64_t n = *order;

  // Row-major input is read where it lies; anything else through a copy.
  std::optional<kavo::OwnedArray<double, 2>> copy;
  const double* input = a.data + a.layout.offset;
  const bool in_place = kavo::is_c_contiguous(a.layout) && a.layout.offset <= a.len && n * n <= a.len - a.layout.offset;
  if (!in_place) {
    copy.emplace(kavo::to_row_major_owned(a));
    input = copy->data();
  }

  auto largest = require_symmetric_input(input, n, "UDU");
  if (!largest) return std::unexpected(std::move(largest.error()));
  const double tolerance = kPivotTolerance * *largest;

  auto u_array = kavo::zeros<double, 2>({n, n});
  kavo::Buffer<double> d(n);
  kavo::Buffer<double> w(n * kColumnsPerPass);
  double* u = u_array.data();
  const double* weights[kColumnsPerPass];
  double pivots[kColumnsPerPass];
  for (std::uint64_t c = n; c-- > 0;) {
    platform::throw_if_interrupted();
    // The pass's own rows first, column by column: each column's pivot needs
    // its row's entries in the pass's earlier columns.
    const std::uint64_t count = std::min(kColumnsPerPass, c + 1);
    const std::uint64_t last = c + 1 - count;  // the pass's leftmost column
    for (std::uint64_t b = 0; b < count; ++b) {
      const std::uint64_t column = c - b;
      const std::uint64_t done = n - 1 - column;
      const double* u_row = u + column * n + column + 1;
      double* weight = w.data() + b * n;
      for (std::uint64_t k = 0; k < done; ++k) weight[k] = u_row[k] * d[column + 1 + k];
      const double pivot = input[column * n + column] - dot_slice(std::span<const double>(u_row, done),
                                                                  std::span<const double>(weight, done));
      // A non-finite pivot is an overflow inside U (its row grew without a
      // pivoting bound); it must not come back as a factor.
      if (!(std::abs(pivot) > tolerance) || !std::isfinite(pivot)) {
        return kavo::storage_error("UDU encountered a zero pivot (needs symmetric pivoting)",
                                   kavo::FailureKind::zero_pivot);
      }
      d[column] = pivot;
      u[column * n + column] = 1.0;
      weights[b] = weight;
      pivots[b] = pivot;
      Pass{input, u, n, column, 1, weights + b, pivots + b}.rows(last, column);
    }
    // Every row above the pass: independent, so from a large enough block on
    // in fixed parts on the executor (each core then keeps reading the same
    // rows of U from its own cache).
    const Pass pass{input, u, n, c, count, weights, pivots};
    if (last * (n - last) < parallel_entries) {
      pass.rows(0, last);
    } else {
      for_each_fixed_part(last, fixed_part_count(last, kRowBatch), 1,
                          [&](std::uint64_t first, std::uint64_t end) { pass.rows(first, end); });
    }
    c = last;
  }
  platform::ensure(u_array.layout() == kavo::Layout<2>{{n, n}, {static_cast<std::int64_t>(n), 1}, 0},
                   "U shape matches storage");
  return UduFactors{std::move(u_array), std::move(d)};
}

}  // namespace kavo_ops
