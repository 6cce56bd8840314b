#include <algorithm>
#include <cmath>
#include <utility>

#include "kavo/assign/to_row_major.h"
#include "kavo/constructors/constructors.h"
#include "kavo_ops/linalg/col_piv_qr/col_piv_qr.h"
#include "kavo_ops/linalg/col_piv_qr/column_norms.h"
#include "kavo_ops/linalg/common/finite_input.h"
#include "kavo_ops/linalg/householder/householder_reflector.h"
#include "kavo_ops/parallel/executor_loops.h"
#include "kavo_ops/parallel/fixed_parts.h"
#include "kavo_ops/slice_kernels/shared_operand_dots.h"
#include "kavo_ops/slice_kernels/slice_kernel_table.h"
#include "platform/interrupt.h"

namespace kavo_ops {
namespace {

// Forming Q worth less than this many element updates stays on the calling
// thread: waking the executor costs more than it saves.
constexpr std::uint64_t kParallelElements = std::uint64_t{1} << 18;
// A step's left sweep is split from this many elements on (a 256 x 256
// block): the workers are still awake from the last step.
constexpr std::uint64_t kParallelSweepElements = std::uint64_t{1} << 16;
// Columns per cache line: the parts of a sweep are cut at whole lines.
constexpr std::uint64_t kLineColumns = 8;

// H applied from the left to columns [c0, n) of rows k.. . Columns are
// independent, so any split of them gives the same bits as one sweep; each
// task keeps the same columns from step to step (fixed_parts.h), so its part
// of the trailing block stays in its core's cache.
void reflect_remaining_columns(const HouseholderReflector& h, std::span<double> a, std::uint64_t n, std::uint64_t k,
                               std::uint64_t c0, std::uint64_t parallel_elements) {
  const std::uint64_t columns = n - c0;
  if (columns * h.v.size() < parallel_elements) {
    apply_reflector_left(h, a, n, k, c0, n);
    return;
  }
  for_each_fixed_part(columns, fixed_part_count(columns, kLineColumns), kLineColumns,
                      [&](std::uint64_t begin, std::uint64_t end) {
                        apply_reflector_left(h, a, n, k, c0 + begin, c0 + end);
                      });
}

// Rows of Q taking a block of reflectors together (4 rows of 1000 in the
// first-level cache), and reflectors per block: measured at n = 300 to
// 1000 against whole groups of 6 and 12 rows and blocks of 8 to all.
constexpr std::uint64_t kQRows = 4;
constexpr std::uint64_t kReflectorBlock = 32;

// apply_reflector_right over rows [r0, r1) of Q, with its arithmetic: each
// row takes s = dot(row[c0 .. c0+len(v)), v), then row += -(s tau) v by the
// axpy kernel. The rows' dots share v through the grouped dot that keeps its
// accumulators in registers (each the lone dot's bits).
void reflect_q_rows(const HouseholderReflector& h, double* q, std::uint64_t m, std::uint64_t r0, std::uint64_t r1,
                    std::uint64_t c0, SharedOperandDotsKernels::Dots dots, SliceKernelTable::AxpyF64 axpy) {
  const std::uint64_t len = h.v.size();
  if (len == 0) return;
  const double* rows[kQRows];
  double sums[kQRows];
  for (std::uint64_t first = r0; first < r1; first += kQRows) {
    const std::uint64_t count = std::min(kQRows, r1 - first);
    for (std::uint64_t g = 0; g < count; ++g) rows[g] = q + (first + g) * m + c0;
    dots(h.v.data(), rows, count, len, sums);
    for (std::uint64_t g = 0; g < count; ++g) axpy(-(sums[g] * h.tau), h.v.data(), q + (first + g) * m + c0, len);
  }
}

struct StepReflector {
  std::uint64_t column;  // the step k: H acts on columns k.. of Q
  HouseholderReflector h;
};

// Q = I * H_0 * H_1 * ... from the right, as accumulating it after every
// step would. Each row of Q sees every reflector in step order, but the rows
// are independent, so the order of work is free across rows: a block of
// reflectors (their vectors in the level-2 cache) is applied to a few rows
// at a time (those rows in the first-level cache), block after block. The
// rows are split into fixed parts over the executor, each part's rows
// staying with one core from block to block.
void form_q(std::span<double> q, std::uint64_t m, const std::vector<StepReflector>& reflectors) {
  const SharedOperandDotsKernels::Dots dots = active_shared_operand_dots();
  const SliceKernelTable::AxpyF64 axpy = active_slice_kernels().axpy_f64;
  std::uint64_t work = 0;
  for (const StepReflector& step : reflectors) work += step.h.v.size();
  const std::uint64_t parts = m * work < kParallelElements ? 1 : fixed_part_count(m, kQRows);
  for_each_fixed_part(m, parts, kQRows, [&](std::uint64_t begin, std::uint64_t end) {
    platform::throw_if_interrupted();
    for (std::uint64_t b0 = 0; b0 < reflectors.size(); b0 += kReflectorBlock) {
      const std::uint64_t b1 = std::min<std::uint64_t>(reflectors.size(), b0 + kReflectorBlock);
      for (std::uint64_t r0 = begin; r0 < end; r0 += kQRows) {
        const std::uint64_t r1 = std::min(end, r0 + kQRows);
        for (std::uint64_t b = b0; b < b1; ++b) {
          reflect_q_rows(reflectors[b].h, q.data(), m, r0, r1, reflectors[b].column, dots, axpy);
        }
      }
    }
  });
}

std::uint64_t largest_estimate(const std::vector<double>& estimate, std::uint64_t k) {
  std::uint64_t best = k;
  for (std::uint64_t j = k + 1; j < estimate.size(); ++j) {
    if (estimate[j] > estimate[best]) best = j;  // strictly larger: the lowest index wins ties
  }
  return best;
}

void swap_columns(double* a, std::uint64_t m, std::uint64_t n, std::uint64_t x, std::uint64_t y) {
  for (std::uint64_t i = 0; i < m; ++i) std::swap(a[i * n + x], a[i * n + y]);
}

}  // namespace

std::uint64_t col_piv_qr_parallel_sweep_elements() { return kParallelSweepElements; }

kavo::Expected<ColPivQr> col_piv_qr_decompose(const kavo::View<double, 2>& a, std::uint64_t parallel_sweep_elements) {
  const std::uint64_t m = a.layout.shape[0];
  const std::uint64_t n = a.layout.shape[1];
  kavo::OwnedArray<double, 2> r = kavo::to_row_major_owned(a);
  double* values = r.data();
  if (auto finite = require_finite({values, m * n}, "ColPivQR"); !finite) {
    return std::unexpected(std::move(finite.error()));
  }
  kavo::Buffer<double> q_values(m * m);  // zero-filled
  for (std::uint64_t i = 0; i < m; ++i) q_values[i * m + i] = 1.0;
  kavo::Buffer<std::uint64_t> perm(n);
  for (std::uint64_t j = 0; j < n; ++j) perm[j] = j;

  ColumnNorms norms = initial_column_norms(values, m, n);
  double largest = 0.0;
  for (double value : norms.estimate) largest = std::max(largest, value);
  const double tolerance = 1e-12 * std::sqrt(largest);

  const std::uint64_t p = std::min(m, n);
  std::uint64_t rank = p;
  const std::span<double> storage(values, m * n);
  const std::span<double> q_storage(q_values.data(), m * m);
  std::vector<double> pivot_column;
  std::vector<StepReflector> reflectors;
  for (std::uint64_t k = 0; k < p; ++k) {
    platform::throw_if_interrupted();
    const std::uint64_t pivot = largest_estimate(norms.estimate, k);
    double true_norm = 0.0;
    for (std::uint64_t i = k; i < m; ++i) true_norm += values[i * n + pivot] * values[i * n + pivot];
    if (tolerance >= std::sqrt(true_norm)) {
      rank = k;
      break;
    }
    if (pivot != k) {
      swap_columns(values, m, n, k, pivot);
      std::swap(perm[k], perm[pivot]);
      std::swap(norms.estimate[k], norms.estimate[pivot]);
      std::swap(norms.reference[k], norms.reference[pivot]);
    }
    pivot_column.resize(m - k);
    for (std::uint64_t i = k; i < m; ++i) pivot_column[i - k] = values[i * n + k];
    if (auto h = generate_reflector(pivot_column)) {
      reflect_remaining_columns(*h, storage, n, k, k, parallel_sweep_elements);
      reflectors.push_back({k, std::move(*h)});
    }
    downdate_column_norms(norms, values, m, n, k);
  }
  form_q(q_storage, m, reflectors);
  for (std::uint64_t i = 1; i < m; ++i) std::fill(values + i * n, values + i * n + std::min(i, n), 0.0);

  auto q = kavo::from_vector<double, 2>({m, m}, std::move(q_values));
  return ColPivQr{kavo::expect_valid(std::move(q), "Q shape matches storage"), std::move(r), std::move(perm), rank, m, n};
}

}  // namespace kavo_ops
