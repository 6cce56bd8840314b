#include <algorithm>

#include "kavo/constructors/constructors.h"
#include "kavo_ops/linalg/qr/qr.h"
#include "kavo_ops/linalg/qr/reflect_and_sum.h"
#include "kavo_ops/parallel/executor_loops.h"
#include "kavo_ops/linalg/reflect_rows/reflect_rows.h"
#include "platform/interrupt.h"

namespace kavo_ops {
namespace {

// Columns of Q per task: a block of 32 columns is one register chunk of
// the row kernel and keeps its rows in the level-2 cache for m up to about
// two thousand.
constexpr std::uint64_t kQColumnBlock = 32;
// Below this order Q costs less than waking the executor.
constexpr std::uint64_t kParallelOrder = 256;

// From this many rows on a column block is reflected in a compact copy,
// each sweep also forming the next reflector's sums; below it (a matrix of
// a few rows, where the setup costs more than the sweeps) one reflector at
// a time, in place: both are the plain loop's arithmetic.
constexpr std::uint64_t kPipelinedFrom = 16;

// Column sums of one reflector over rows [r0, r1) of the compact block,
// columns [col0, width), continuing `sums` (rows ascending, every product
// rounded before its add): the first row of a reflector starts its sums as
// v[0] * B[k][j] and the later rows add v[r] * B[k + r][j].
void add_row_sums(const double* block, std::uint64_t width, std::uint64_t r0, std::uint64_t r1, std::uint64_t col0,
                  const double* coefficients, double* sums) {
  for (std::uint64_t r = r0; r < r1; ++r) {
    const double c = coefficients[r - r0];
    const double* row = block + r * width;
    for (std::uint64_t j = col0; j < width; ++j) sums[j] = sums[j] + c * row[j];
  }
}

// Applies H_{p-1}, .., H_0 in that order to columns [j0, j1) of Q. Each
// element sees exactly the plain loop's operations (reflect_rows with
// separate rounding): the columns are independent. Columns j < k still hold
// e_j in rows k.. when H_k arrives, so H_k leaves them exactly as they are
// and is not applied to them. Each reflector's update sweep also forms the
// next reflector's sums over the rows they share (reflect_and_sum.h), so
// the block is swept once per reflector.
// The block is worked on in a compact copy: rows of Q lie a whole row of
// pages apart, and sweeping a thousand of them per reflector misses the
// address-translation cache on every row.
void reflect_column_block(const QrDecomposition& qr, const std::vector<std::vector<double>>& reflectors, double* q,
                          std::uint64_t j0, std::uint64_t j1) {
  // The reflectors that change the block, last first: k < j1 with tau != 0.
  auto active_below = [&](std::uint64_t k) {  // the next one below k, or k itself when none
    for (std::uint64_t below = k; below-- > 0;) {
      if (qr.taus[below] != 0.0) return below;
    }
    return k;
  };
  const std::uint64_t top = std::min<std::uint64_t>(reflectors.size(), j1);
  if (top == 0) return;
  std::uint64_t k = qr.taus[top - 1] != 0.0 ? top - 1 : active_below(top - 1);
  if (qr.taus[k] == 0.0) return;

  const std::uint64_t m = qr.m;
  const std::uint64_t width = j1 - j0;
  if (m < kPipelinedFrom) {
    // Few rows: each reflector by itself, in place, as the plain loop.
    for (std::uint64_t r = top; r-- > 0;) {
      if (qr.taus[r] == 0.0) continue;
      const std::vector<double>& v = reflectors[r];
      const std::uint64_t first = std::max(j0, r);
      reflect_rows(q + r * m + first, m, m - r, j1 - first, v[0], v.data() + 1, 1, qr.taus[r],
                   ReflectRounding::separate);
    }
    return;
  }
  // The block, two rows of sums, and a zero row standing for "no next
  // reflector", in one allocation.
  std::vector<double> storage(m * width + 2 * width + m);
  double* block = storage.data();
  double* sums = block + m * width;
  double* next_sums = sums + width;
  const double* no_next = next_sums + width;
  for (std::uint64_t i = 0; i < m; ++i) std::copy(q + i * m + j0, q + i * m + j1, block + i * width);
  auto first_column = [&](std::uint64_t reflector) { return std::max(j0, reflector) - j0; };
  {
    const std::vector<double>& v = reflectors[k];
    const double* head_row = block + k * width;
    for (std::uint64_t j = first_column(k); j < width; ++j) sums[j] = v[0] * head_row[j];
    add_row_sums(block, width, k + 1, m, first_column(k), v.data() + 1, sums);
  }
  for (;;) {
    const std::vector<double>& v = reflectors[k];
    const std::uint64_t col0 = first_column(k);
    for (std::uint64_t j = col0; j < width; ++j) sums[j] *= qr.taus[k];
    const std::uint64_t next = active_below(k);
    if (next == k) {
      reflect_and_sum(block + k * width + col0, width, m - k, width - col0, v.data(), sums + col0, no_next,
                      next_sums + col0);
      break;
    }
    // The next reflector's sums: its rows above k (untouched by H_k), then
    // the rows from k on as H_k's sweep leaves them, then the columns H_k
    // does not touch over those rows.
    const std::vector<double>& w = reflectors[next];
    const std::uint64_t next_col0 = first_column(next);
    const double* head_row = block + next * width;
    for (std::uint64_t j = next_col0; j < width; ++j) next_sums[j] = w[0] * head_row[j];
    add_row_sums(block, width, next + 1, k, next_col0, w.data() + 1, next_sums);
    reflect_and_sum(block + k * width + col0, width, m - k, width - col0, v.data(), sums + col0,
                    w.data() + (k - next), next_sums + col0);
    for (std::uint64_t r = k; r < m; ++r) {
      const double c = w[r - next];
      const double* row = block + r * width;
      for (std::uint64_t j = next_col0; j < col0; ++j) next_sums[j] = next_sums[j] + c * row[j];
    }
    std::swap(sums, next_sums);
    k = next;
  }
  for (std::uint64_t i = 0; i < m; ++i) std::copy(block + i * width, block + (i + 1) * width, q + i * m + j0);
}

}  // namespace

kavo::OwnedArray<double, 2> qr_form_q(const QrDecomposition& qr) {
  const std::uint64_t m = qr.m;
  const std::uint64_t p = std::min(qr.m, qr.n);
  kavo::Buffer<double> q(m * m);  // zero-filled
  for (std::uint64_t i = 0; i < m; ++i) q[i * m + i] = 1.0;

  // Each reflector as one contiguous vector [head, tail...]: the sweeps read
  // it once per row, and the packed copy holds it down a strided column.
  std::vector<std::vector<double>> reflectors(p);
  const double* packed = qr.packed.data();
  for (std::uint64_t k = 0; k < p; ++k) {
    std::vector<double>& v = reflectors[k];
    v.resize(m - k);
    v[0] = qr.heads[k];
    for (std::uint64_t l = k + 1; l < m; ++l) v[l - k] = packed[l * qr.n + k];
  }
  double* values = q.data();
  const std::uint64_t blocks = (m + kQColumnBlock - 1) / kQColumnBlock;
  for_each_dynamic_chunk(blocks, m < kParallelOrder ? blocks : 1, [&](std::uint64_t begin, std::uint64_t end) {
    for (std::uint64_t block = begin; block < end; ++block) {
      platform::throw_if_interrupted();
      reflect_column_block(qr, reflectors, values, block * kQColumnBlock, std::min(m, (block + 1) * kQColumnBlock));
    }
  });
  return kavo::expect_valid(kavo::from_vector<double, 2>({m, m}, std::move(q)), "Q shape matches storage");
}

}  // namespace kavo_ops
