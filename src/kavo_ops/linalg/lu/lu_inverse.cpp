// A^-1 column by column: column c is the solution for P e_c, found with
// exactly lu_solve_in_place's dot products, so every column has the bits of
// a lone solve. The solves run a group of right-hand sides at a time (the
// rows of a group x n block), so each row of the factors is read once per
// group while it is in cache instead of once per column, and the groups are
// spread over the executor. A group holds consecutive unit vectors e_j
// (j = the row P moves column c's 1 to), so its forward sweep can start at
// the first j: everything above is +0 and stays so.

#include <algorithm>
#include <vector>

#include "kavo/constructors/constructors.h"
#include "kavo_ops/linalg/common/finite_input.h"
#include "kavo_ops/linalg/lu/lu.h"
#include "kavo_ops/parallel/parallel_for.h"
#include "kavo_ops/slice_kernels/dot_group.h"

namespace kavo_ops {
namespace {

// Right-hand sides per group: 16 prefixes of x (up to 16 * 8 KiB at n = 1024)
// stay in the level-2 cache beside the factor row they share.
constexpr std::uint64_t kGroupColumns = 16;
constexpr std::uint64_t kStackElements = 16 * 16;

// Solves the `count` systems whose P-permuted right-hand sides are the rows
// of x (each n long), with the dot products of lu_solve_in_place in its order.
// Each factor row meets all right-hand sides in grouped dots: the row is
// loaded once for several of them, and every dot keeps the lone dot's bits.
// `first` is the length of the +0 prefix every right-hand side shares, and
// may be non-zero only when the factors are finite: rows above it would
// compute 0 - (+-0) = +0 and are left alone, and the dots below leave out
// the shared zeros, whose products are exact zeros.
void solve_group(const LuFactors& lu, double* x, std::uint64_t count, std::uint64_t first) {
  const std::uint64_t n = lu.n;
  const double* a = lu.factors.data();
  const double* rows[kGroupColumns];
  double sums[kGroupColumns];
  const std::uint64_t skipped = dot_skippable_prefix(first);
  for (std::uint64_t r = 0; r < count; ++r) rows[r] = x + r * n + skipped;
  for (std::uint64_t i = std::max<std::uint64_t>(first, 1); i < n; ++i) {
    dot_group(a + i * n + skipped, rows, count, i - skipped, sums);
    for (std::uint64_t r = 0; r < count; ++r) x[r * n + i] -= sums[r];
  }
  for (std::uint64_t i = n; i-- > 0;) {
    const double* row = a + i * n;
    const std::uint64_t tail = n - i - 1;
    for (std::uint64_t r = 0; r < count; ++r) rows[r] = x + r * n + i + 1;
    dot_group(row + i + 1, rows, count, tail, sums);
    for (std::uint64_t r = 0; r < count; ++r) x[r * n + i] = (x[r * n + i] - sums[r]) / row[i];
  }
}

}  // namespace

kavo::Expected<kavo::OwnedArray<double, 2>> lu_inverse(const kavo::View<double, 2>& a) {
  auto lu = lu_decompose(a);
  if (!lu) return std::unexpected(std::move(lu.error()));
  const std::uint64_t n = lu->n;
  // Every entry is written: each column once, by the group that solves it.
  auto inverse = kavo::expect_valid(kavo::from_vector<double, 2>({n, n}, kavo::Buffer<double>::uninitialized(n * n)),
                                    "inverse shape matches storage");
  lu_inverse_into(*lu, inverse.data());
  return inverse;
}

void lu_inverse_into(const LuFactors& lu, double* out) {
  const std::uint64_t n = lu.n;
  // (P e_c)[j] = 1 where perm[j] = c: the group of positions [j0, j1) fills
  // columns perm[j0 .. j1).
  const bool finite_factors = require_finite({lu.factors.data(), n * n}, "LU").has_value();
  for_each_dynamic_chunk(n, kGroupColumns, [&](std::uint64_t j0, std::uint64_t j1) {
    const std::uint64_t count = j1 - j0;
    // Small inverses stay off the heap.
    double on_stack[kStackElements];
    std::vector<double> on_heap(count * n <= kStackElements ? 0 : count * n);
    double* x = on_heap.empty() ? on_stack : on_heap.data();
    std::fill_n(x, count * n, 0.0);
    for (std::uint64_t r = 0; r < count; ++r) x[r * n + j0 + r] = 1.0;
    solve_group(lu, x, count, finite_factors ? j0 : 0);
    for (std::uint64_t r = 0; r < count; ++r) {
      const std::uint64_t c = lu.perm[j0 + r];
      for (std::uint64_t k = 0; k < n; ++k) out[k * n + c] = x[r * n + k];
    }
  });
}

}  // namespace kavo_ops
