#include <algorithm>
#include <atomic>
#include <vector>

#include "kavo/constructors/constructors.h"
#include "kavo_ops/linalg/cholesky/cholesky.h"
#include "kavo_ops/linalg/cholesky/cholesky_backward_group.h"
#include "kavo_ops/parallel/executor_loops.h"
#include "kavo_ops/slice_kernels/dot_group.h"
#include "kavo_ops/slice_kernels/shared_operand_dots.h"
#include "platform/interrupt.h"

namespace kavo_ops {
namespace {

// Unit right-hand sides solved together. Each column still sees exactly the
// operations of cholesky_solve_in_place on e_c, in the same order; the group
// only changes what stays in cache: a row of L serves every column's forward
// dot while it is in the first-level cache, and each entry of L's column
// walk in the backward sweep is read once for the whole group.
constexpr std::uint64_t kGroup = kCholeskyGroup;

// Columns [c0, c0 + count) of the inverse into `out` (row-major n x n).
void solve_unit_group(const double* l, const double* l_transposed, std::uint64_t n, std::uint64_t c0, std::uint64_t count,
                      std::vector<double>& columns, std::vector<double>& interleaved, double* out) {
  // Forward with L, one contiguous vector per column, every row of L shared
  // by the group's dots (each with the lone dot_slice bits). Every column of
  // the group is +0 above row c0: those rows would compute (0 - 0) / L[i][i]
  // = +0 and are left as they are, and the dots below leave out the common
  // zero prefix (L is finite once factored: an infinite entry fails a pivot).
  columns.assign(count * n, 0.0);
  for (std::uint64_t g = 0; g < count; ++g) columns[g * n + c0 + g] = 1.0;
  const std::uint64_t skipped = dot_skippable_prefix(c0);
  const double* vectors[kGroup];
  double sums[kGroup];
  for (std::uint64_t g = 0; g < count; ++g) vectors[g] = columns.data() + g * n + skipped;
  for (std::uint64_t i = c0; i < n; ++i) {
    const double* row = l + i * n;
    shared_operand_dots(row + skipped, vectors, count, i - skipped, sums);
    for (std::uint64_t g = 0; g < count; ++g) columns[g * n + i] = (columns[g * n + i] - sums[g]) / row[i];
  }
  // Backward with L^T, the group interleaved (x[k][g]) so that each L[k][i]
  // multiplies a contiguous run of the group's entries; L transposed so the
  // column the sweep walks is one contiguous row.
  interleaved.assign(n * kGroup, 0.0);
  for (std::uint64_t g = 0; g < count; ++g)
    for (std::uint64_t k = 0; k < n; ++k) interleaved[k * kGroup + g] = columns[g * n + k];
  cholesky_backward_group(l_transposed, n, interleaved.data());
  for (std::uint64_t row = 0; row < n; ++row) {
    std::copy(interleaved.data() + row * kGroup, interleaved.data() + row * kGroup + count, out + row * n + c0);
  }
}

}  // namespace

std::uint64_t cholesky_inverse_parallel_order() { return 128; }

kavo::Expected<kavo::OwnedArray<double, 2>> cholesky_inverse(const kavo::View<double, 2>& a,
                                                            std::uint64_t parallel_order) {
  auto factor = cholesky_factor(a);
  if (!factor) return std::unexpected(std::move(factor.error()));
  const std::uint64_t n = factor->layout().shape[0];
  // Every entry is written: each column by the group that solves it.
  auto inverse = kavo::expect_valid(kavo::from_vector<double, 2>({n, n}, kavo::Buffer<double>::uninitialized(n * n)),
                                    "inverse shape matches storage");
  const double* l = factor->data();
  std::vector<double> l_transposed(n * n);
  for (std::uint64_t i = 0; i < n; ++i)
    for (std::uint64_t k = 0; k < n; ++k) l_transposed[i * n + k] = l[k * n + i];
  // Groups are independent: from parallel_order on they are handed out one
  // at a time to the executor's tasks, each with scratch of its own.
  const std::uint64_t groups = (n + kGroup - 1) / kGroup;
  std::atomic<std::uint64_t> next{0};
  auto task = [&](std::uint64_t) {
    std::vector<double> columns, interleaved;
    for (std::uint64_t group; (group = next.fetch_add(1, std::memory_order_relaxed)) < groups;) {
      platform::throw_if_interrupted();
      const std::uint64_t c0 = group * kGroup;
      solve_unit_group(l, l_transposed.data(), n, c0, std::min(kGroup, n - c0), columns, interleaved, inverse.data());
    }
  };
  if (n < parallel_order || groups < 2) {
    task(0);
  } else {
    for_each_index(std::min(groups, std::max<std::uint64_t>(executor_worker_count(), 1)), task);
  }
  return inverse;
}

}  // namespace kavo_ops
