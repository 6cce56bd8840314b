#include "kavo_ops/linalg/bidiagonal/bidiagonal_step.h"

#include <algorithm>
#include <span>

#include "fyrel/gemv/gemv.h"
#include "kavo_ops/parallel/for_each_part.h"
#include "kavo_ops/parallel/executor_loops.h"
#include "kavo_ops/slice_kernels/slice_kernel_table.h"

namespace kavo_ops {
namespace {

// Rows whose right-update dots share the loads of g (the dot group's width).
constexpr std::size_t kDotRows = 6;

// Row k after the left update: beta in the diagonal, exact zeros below it.
void settle_column(double* a, std::size_t m, std::size_t n, std::size_t k, double beta) {
  a[k * n + k] = beta;
  for (std::size_t i = k + 1; i < m; ++i) a[i * n + k] = 0.0;
}

void settle_row(double* a, std::size_t n, std::size_t k, double beta) {
  a[k * n + k + 1] = beta;
  std::fill(a + k * n + k + 2, a + (k + 1) * n, 0.0);
}

}  // namespace

BidiagonalStep reduce_bidiagonal_step(double* a, std::size_t m, std::size_t n, std::size_t k, double* w,
                                      double* column, const BidiagonalSplit& split) {
  const std::span<double> values(a, m * n);
  const std::size_t rows = m - k;
  const std::size_t width = n - k - 1;  // the columns right of column k
  BidiagonalStep step;
  for (std::size_t i = 0; i < rows; ++i) column[i] = a[(k + i) * n + k];
  step.left = generate_reflector({column, rows});
  const std::span<const double> row_k(a + k * n + k + 1, width);

  if (std::uint64_t{rows} * width < split.parallel_elements) {
    if (step.left) {
      // Column k itself becomes beta * e_1 exactly; only the columns right
      // of it are transformed.
      apply_reflector_left(*step.left, values, n, k, k + 1, n);
      settle_column(a, m, n, k, step.left->beta);
    }
    if (k + 1 < n) {
      step.right = generate_reflector(row_k);
      if (step.right) {
        apply_reflector_right(*step.right, values, n, k + 1, m, k + 1);
        settle_row(a, n, k, step.right->beta);
      }
    }
    return step;
  }

  const HouseholderReflector* left = step.left ? &*step.left : nullptr;
  if (left) {
    std::fill(w, w + width, 0.0);
    const double* block = a + k * n + k + 1;
    const std::size_t block_len = m * n - (k * n + k + 1);
    const double* v = left->v.data();
    const double tau = left->tau;
    for_each_part(width, split.column_chunk, [&](std::uint64_t c0, std::uint64_t c1) {
      fyrel::gemv_transpose(block + c0, block_len - c0, v, rows, w + c0, c1 - c0, rows, c1 - c0, n);
      for (std::uint64_t c = c0; c < c1; ++c) w[c] *= tau;
    });
    active_slice_kernels().axpy_f64(-v[0], w, a + k * n + k + 1, width);
  }
  if (k + 1 < n) step.right = generate_reflector(row_k);
  const HouseholderReflector* right = step.right ? &*step.right : nullptr;
  if (left || right) {
    const SliceKernelTable& kernels = active_slice_kernels();
    for_each_part(rows - 1, split.row_chunk, [&](std::uint64_t b, std::uint64_t e) {
      const double* segments[kDotRows];
      double sums[kDotRows];
      for (std::uint64_t r = b; r < e; r += kDotRows) {
        const std::size_t count = std::min<std::uint64_t>(kDotRows, e - r);
        for (std::size_t g = 0; g < count; ++g) {
          double* row = a + (k + 1 + r + g) * n + k + 1;
          if (left) kernels.axpy_f64(-left->v[1 + r + g], w, row, width);
          segments[g] = row;
        }
        if (!right) continue;
        kernels.dot_group_f64(right->v.data(), segments, count, width, sums);
        for (std::size_t g = 0; g < count; ++g) {
          kernels.axpy_f64(-(sums[g] * right->tau), right->v.data(), a + (k + 1 + r + g) * n + k + 1, width);
        }
      }
    });
  }
  if (left) settle_column(a, m, n, k, left->beta);
  if (right) settle_row(a, n, k, right->beta);
  return step;
}

}  // namespace kavo_ops
