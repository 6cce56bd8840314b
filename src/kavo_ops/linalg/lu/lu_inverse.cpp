// A^-1 column by column: column c is the solution for P e_c, found with
// exactly lu_solve_in_place's dot products, so every column has the bits of
// a lone solve. Only the schedule differs:
//  - Right-hand side j (column perm[j]) is worked on in place as row perm[j]
//    of the transposed inverse, which is transposed into the result at the
//    end: every write is a contiguous row.
//  - A few right-hand sides share each factor row through the grouped dot
//    (the one that keeps its accumulators in registers), few enough that
//    their vectors stay in cache while the sweep reads them again for every
//    row.
//  - The factor is swept a block of rows at a time, and every group of a
//    batch of right-hand sides takes the block while it is in the level-2
//    cache, instead of every group streaming the whole factor.
//  - Batches are spread over the executor.
// A batch holds consecutive unit vectors e_j (j = the row P moves column
// c's 1 to), so each group's forward sweep can start at its first j:
// everything above is +0 and stays so.

#include <algorithm>

#include "kavo/constructors/constructors.h"
#include "kavo_ops/linalg/common/finite_input.h"
#include "kavo_ops/linalg/lu/lu.h"
#include "kavo_ops/parallel/executor_loops.h"
#include "kavo_ops/slice_kernels/dot_group.h"
#include "kavo_ops/slice_kernels/shared_operand_dots.h"
#include "platform/interrupt.h"

namespace kavo_ops {
namespace {

// Right-hand sides per grouped dot: as many vectors of n as fit in 64 KiB,
// in whole groups of tier A's six, 6 or 12 (measured at n = 200 to 1000:
// twelve led up to 500, six at 1000).
std::uint64_t group_size(std::uint64_t n) {
  const std::uint64_t fit = 8192 / std::max<std::uint64_t>(n, 1);
  return fit >= 12 ? 12 : 6;
}
// Factor rows per block: about 512 KiB of them, for the level-2 cache.
std::uint64_t row_block(std::uint64_t n) { return std::clamp<std::uint64_t>(65536 / std::max<std::uint64_t>(n, 1), 16, 1024); }
// Right-hand sides per batch (one task's unit of work): each block of the
// factor is read from memory once per batch, so up to 64; fewer when that
// would leave fewer than two batches per task, in whole groups. Below
// kParallelOrder one batch on the calling thread: waking a worker costs
// more than the solves (n = 16 measured 1.45x slower split in two).
constexpr std::uint64_t kParallelOrder = 64;
std::uint64_t batch_size(std::uint64_t n) {
  if (n < kParallelOrder) return std::max<std::uint64_t>(n, 1);
  const std::uint64_t group = group_size(n);
  const std::uint64_t tasks = std::max<std::uint64_t>(executor_worker_count(), 1);
  const std::uint64_t share = (n + 2 * tasks - 1) / (2 * tasks);
  return std::clamp<std::uint64_t>((share + group - 1) / group * group, group, 64);
}
constexpr std::uint64_t kMaxGroup = 12;

struct Sweep {
  const double* a;  // the factors, n x n row-major
  std::uint64_t n;
  double* transposed;  // row perm[j]: right-hand side j, solved in place
  const std::uint64_t* perm;
  bool finite_factors;

  // Right-hand sides [j0, j1): the unit vectors, then both sweeps, block by
  // block of factor rows, each block taken by every group in turn.
  void batch(std::uint64_t j0, std::uint64_t j1) const {
    const std::uint64_t g = group_size(n);
    const std::uint64_t block = row_block(n);
    for (std::uint64_t j = j0; j < j1; ++j) {
      double* x = transposed + perm[j] * n;
      std::fill_n(x, n, 0.0);
      x[j] = 1.0;
    }
    for (std::uint64_t i0 = 0; i0 < n; i0 += block) {
      const std::uint64_t i1 = std::min(n, i0 + block);
      for (std::uint64_t first = j0; first < j1; first += g) forward(first, std::min(j1, first + g), i0, i1);
    }
    for (std::uint64_t i1 = n; i1 > 0;) {
      const std::uint64_t i0 = i1 > block ? i1 - block : 0;
      for (std::uint64_t first = j0; first < j1; first += g) backward(first, std::min(j1, first + g), i0, i1);
      i1 = i0;
    }
  }

  // Forward with unit L over rows [i0, i1) for right-hand sides [first,
  // end): x[i] -= dot(L[i][0..i), x[0..i)). `first` is the length of the +0
  // prefix every right-hand side of the group shares, used only when the
  // factors are finite: rows above it would compute 0 - (+-0) = +0 and are
  // left alone, and the dots below leave out the shared zeros, whose
  // products are exact zeros.
  void forward(std::uint64_t first, std::uint64_t end, std::uint64_t i0, std::uint64_t i1) const {
    const std::uint64_t count = end - first;
    const std::uint64_t zeros = finite_factors ? first : 0;
    const std::uint64_t skipped = dot_skippable_prefix(zeros);
    double* x[kMaxGroup];
    const double* from[kMaxGroup];
    double sums[kMaxGroup];
    for (std::uint64_t r = 0; r < count; ++r) {
      x[r] = transposed + perm[first + r] * n;
      from[r] = x[r] + skipped;
    }
    for (std::uint64_t i = std::max({i0, zeros, std::uint64_t{1}}); i < i1; ++i) {
      shared_operand_dots(a + i * n + skipped, from, count, i - skipped, sums);
      for (std::uint64_t r = 0; r < count; ++r) x[r][i] -= sums[r];
    }
  }

  // Backward with U over rows [i0, i1), from the last up:
  // x[i] = (x[i] - dot(U[i][i+1..n), x[i+1..n))) / U[i][i].
  void backward(std::uint64_t first, std::uint64_t end, std::uint64_t i0, std::uint64_t i1) const {
    const std::uint64_t count = end - first;
    double* x[kMaxGroup];
    const double* from[kMaxGroup];
    double sums[kMaxGroup];
    for (std::uint64_t r = 0; r < count; ++r) x[r] = transposed + perm[first + r] * n;
    for (std::uint64_t i = i1; i-- > i0;) {
      const double* row = a + i * n;
      for (std::uint64_t r = 0; r < count; ++r) from[r] = x[r] + i + 1;
      shared_operand_dots(row + i + 1, from, count, n - i - 1, sums);
      for (std::uint64_t r = 0; r < count; ++r) x[r][i] = (x[r][i] - sums[r]) / row[i];
    }
  }
};

// out[k][c] = transposed[c][k], in tiles that stay in cache.
void transpose_into(const double* transposed, double* out, std::uint64_t n) {
  constexpr std::uint64_t kTile = 32;
  for (std::uint64_t c0 = 0; c0 < n; c0 += kTile) {
    for (std::uint64_t k0 = 0; k0 < n; k0 += kTile) {
      const std::uint64_t c1 = std::min(n, c0 + kTile), k1 = std::min(n, k0 + kTile);
      for (std::uint64_t k = k0; k < k1; ++k) {
        for (std::uint64_t c = c0; c < c1; ++c) out[k * n + c] = transposed[c * n + k];
      }
    }
  }
}

}  // namespace

kavo::Expected<kavo::OwnedArray<double, 2>> lu_inverse(const kavo::View<double, 2>& a) {
  auto lu = lu_decompose(a);
  if (!lu) return std::unexpected(std::move(lu.error()));
  const std::uint64_t n = lu->n;
  // Every entry is written: each column once, by the batch that solves it.
  auto inverse = kavo::expect_valid(kavo::from_vector<double, 2>({n, n}, kavo::Buffer<double>::uninitialized(n * n)),
                                    "inverse shape matches storage");
  lu_inverse_into(*lu, inverse.data());
  return inverse;
}

void lu_inverse_into(const LuFactors& lu, double* out) {
  const std::uint64_t n = lu.n;
  if (n == 0) return;
  // Small inverses stay off the heap.
  constexpr std::uint64_t kStackEntries = 256;
  double on_stack[kStackEntries];
  kavo::Buffer<double> on_heap = kavo::Buffer<double>::uninitialized(n * n <= kStackEntries ? 0 : n * n);
  double* transposed = n * n <= kStackEntries ? on_stack : on_heap.data();
  const Sweep sweep{lu.factors.data(), n, transposed, lu.perm.data(),
                    require_finite({lu.factors.data(), n * n}, "LU").has_value()};
  for_each_dynamic_chunk(n, batch_size(n), [&](std::uint64_t j0, std::uint64_t j1) {
    platform::throw_if_interrupted();
    sweep.batch(j0, j1);
  });
  transpose_into(transposed, out, n);
}

}  // namespace kavo_ops
