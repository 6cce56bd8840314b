#include <algorithm>
#include <cmath>
#include <string>

#include "kavo/assign/to_row_major.h"
#include "kavo_ops/linalg/cholesky/cholesky.h"
#include "kavo_ops/linalg/common/finite_input.h"
#include "kavo_ops/linalg/common/square_order.h"
#include "kavo_ops/scalar/dot_group.h"
#include "kavo_ops/scalar/dot_slice.h"

namespace kavo_ops {
namespace {

// Rows factored together; two or three register groups of the dot kernel.
constexpr std::size_t kRowGroup = 6;

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
  // row. Each entry keeps its own dot (the lone dot_slice bits), subtraction
  // and division, so the factor is the plain row loop's bit for bit; the
  // group's own triangle follows row by row, so the first failing pivot is
  // still the one reported.
  const double* rows[kRowGroup];
  double sums[kRowGroup];
  for (std::size_t first = 0; first < n; first += kRowGroup) {
    const std::size_t count = std::min(kRowGroup, n - first);
    for (std::size_t g = 0; g < count; ++g) rows[g] = l + (first + g) * n;
    for (std::size_t j = 0; j < first; ++j) {
      const double* row_j = l + j * n;
      dot_group(row_j, rows, count, j, sums);
      for (std::size_t g = 0; g < count; ++g) {
        double* row_i = l + (first + g) * n;
        row_i[j] = (row_i[j] - sums[g]) / row_j[j];
      }
    }
    for (std::size_t i = first; i < first + count; ++i) {
      double* row_i = l + i * n;
      for (std::size_t j = first; j <= i; ++j) {
        const double* row_j = l + j * n;
        const double x = row_i[j] - dot_slice(std::span<const double>(row_i, j), std::span<const double>(row_j, j));
        if (j < i) {
          row_i[j] = x / row_j[j];
        } else if (!(x > 0.0)) {
          // NaN included: a finite input can overflow inside L, and a NaN
          // pivot must not pass as success.
          return kavo::storage_error("Cholesky pivot " + std::to_string(i) +
                                     " is non-positive: matrix is not positive-definite");
        } else {
          row_i[i] = std::sqrt(x);
        }
      }
      for (std::size_t j = i + 1; j < n; ++j) row_i[j] = 0.0;
    }
  }
  platform::ensure(factor.layout() == kavo::Layout<2>{{n, n}, {static_cast<std::int64_t>(n), 1}, 0},
                   "square factor storage");
  return factor;
}

}  // namespace kavo_ops
