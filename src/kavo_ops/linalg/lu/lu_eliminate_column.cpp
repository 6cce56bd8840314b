#include <algorithm>
#include <cmath>
#include <string>

#include "kavo_ops/linalg/lu/lu_eliminate.h"
#include "kavo_ops/slice_kernels/slice_kernel_table.h"

namespace kavo_ops {

kavo::Expected<void> lu_eliminate_column(LuFactors& lu, std::uint64_t j, std::uint64_t panel_end) {
  return lu_eliminate_column(lu, j, panel_end, lu.n, nullptr);
}

kavo::Expected<void> lu_eliminate_column(LuFactors& lu, std::uint64_t j, std::uint64_t panel_end,
                                         std::uint64_t swap_end, std::vector<PendingExchange>* pending) {
  const std::uint64_t n = lu.n;
  double* a = lu.factors.data();
  double* row_j = a + j * n;

  std::uint64_t pivot = j;
  double best = std::fabs(row_j[j]);
  for (std::uint64_t i = j + 1; i < n; ++i) {
    const double candidate = std::fabs(a[i * n + j]);
    if (best < candidate) {  // strictly greater replaces: ties stay with the lowest row
      best = candidate;
      pivot = i;
    }
  }
  if (best == 0.0) {
    return kavo::storage_error("LU pivot column " + std::to_string(j) + " is exactly zero: matrix is singular",
                               kavo::FailureKind::singular_pivot);
  }
  if (pivot != j) {
    std::swap_ranges(row_j, row_j + swap_end, a + pivot * n);
    if (pending != nullptr) pending->push_back({j, pivot});
    std::swap(lu.perm[j], lu.perm[pivot]);
    lu.sign = static_cast<std::int8_t>(-lu.sign);
  }

  // The tier's axpy looked up once per column: the panel's segments are
  // short, so a per-row lookup would cost as much as the arithmetic.
  const auto axpy = active_slice_kernels().axpy_f64;
  const double diagonal = row_j[j];
  const std::uint64_t width = panel_end - (j + 1);
  for (std::uint64_t i = j + 1; i < n; ++i) {
    double* row_i = a + i * n;
    const double m = row_i[j] / diagonal;
    row_i[j] = m;
    if (width > 0) axpy(-m, row_j + j + 1, row_i + j + 1, width);
  }
  return {};
}

kavo::Expected<void> lu_factor_columns(LuFactors& lu) {
  for (std::uint64_t j = 0; j < lu.n; ++j) {
    if (auto step = lu_eliminate_column(lu, j, lu.n); !step) return step;
  }
  return {};
}

}  // namespace kavo_ops
