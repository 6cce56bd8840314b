#include <algorithm>
#include <cmath>
#include <string>

#include "kavo/assign/to_row_major.h"
#include "kavo_ops/linalg/cholesky/cholesky.h"
#include "kavo_ops/linalg/common/finite_input.h"
#include "kavo_ops/linalg/common/square_order.h"
#include "kavo_ops/slice_kernels/shared_operand_dots.h"
#include "kavo_ops/slice_kernels/slice_kernel_table.h"
#include "platform/interrupt.h"

namespace kavo_ops {
namespace {

// Rows factored together. Entry (i, j) waits on entry (i, j - 1) through
// its dot and division, so the group's rows are the independent chains that
// hide that latency; 24 (four register groups of the dot kernel) measured
// fastest for small factors.
constexpr std::size_t kRowGroup = 24;

}  // namespace

kavo::Expected<kavo::OwnedArray<double, 2>> cholesky_factor(const kavo::View<double, 2>& a) {
  auto order = square_order(a.layout);
  if (!order) return std::unexpected(std::move(order.error()));
  const std::size_t n = *order;

  kavo::OwnedArray<double, 2> factor = kavo::to_row_major_owned(a);
  double* l = factor.data();
  if (auto finite = require_finite({l, n * n}, "Cholesky"); !finite) return std::unexpected(std::move(finite.error()));

  // Rows are computed a group at a time: for every earlier row j the group's
  // dots share L[j], which is then read once per group instead of once per
  // row. Inside the group, column j's entries are computed together the same
  // way once its pivot is known. Each entry keeps its own dot (the lone
  // dot_slice bits), subtraction and division, so the factor is the plain
  // row loop's bit for bit; pivots still come in increasing order, so the
  // first failing one is still the one reported. The tier's grouped dot
  // (the one that keeps its accumulators in registers) is looked up once: a
  // small factor is mostly short dots.
  const SharedOperandDotsKernels::Dots dots = active_shared_operand_dots();
  const double* rows[kRowGroup];
  double sums[kRowGroup];
  for (std::size_t first = 0; first < n; first += kRowGroup) {
    platform::throw_if_interrupted();
    const std::size_t count = std::min(kRowGroup, n - first);
    for (std::size_t g = 0; g < count; ++g) rows[g] = l + (first + g) * n;
    for (std::size_t j = 0; j < first; ++j) {
      const double* row_j = l + j * n;
      dots(row_j, rows, count, j, sums);
      for (std::size_t g = 0; g < count; ++g) {
        double* row_i = l + (first + g) * n;
        row_i[j] = (row_i[j] - sums[g]) / row_j[j];
      }
    }
    for (std::size_t d = 0; d < count; ++d) {
      const std::size_t j = first + d;
      double* row_j = l + j * n;
      // Rows j .. first + count - 1 against row j: the pivot, then column j.
      dots(row_j, rows + d, count - d, j, sums);
      const double x = row_j[j] - sums[0];
      if (!(x > 0.0)) {
        // NaN included: a finite input can overflow inside L, and a NaN
        // pivot must not pass as success.
        return kavo::storage_error("Cholesky pivot " + std::to_string(j) +
                                   " is non-positive: matrix is not positive-definite",
                                   kavo::FailureKind::non_positive_pivot);
      }
      row_j[j] = std::sqrt(x);
      for (std::size_t g = 1; g < count - d; ++g) {
        double* row_i = l + (j + g) * n;
        row_i[j] = (row_i[j] - sums[g]) / row_j[j];
      }
      for (std::size_t k = j + 1; k < n; ++k) row_j[k] = 0.0;
    }
  }
  platform::ensure(factor.layout() == kavo::Layout<2>{{n, n}, {static_cast<std::int64_t>(n), 1}, 0},
                   "square factor storage");
  return factor;
}

}  // namespace kavo_ops
