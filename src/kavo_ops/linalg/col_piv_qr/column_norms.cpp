#include "kavo_ops/linalg/col_piv_qr/column_norms.h"

namespace kavo_ops {
namespace {

// sqrt(eps / 2): below this relative size the downdated estimate is mostly
// cancellation error.
constexpr double kRecomputeRatio = 1.0536712127723509e-8;

double column_square_sum(const double* a, std::uint64_t m, std::uint64_t n, std::uint64_t first_row,
                         std::uint64_t j) {
  double sum = 0.0;
  for (std::uint64_t i = first_row; i < m; ++i) sum += a[i * n + j] * a[i * n + j];
  return sum;
}

}  // namespace

ColumnNorms initial_column_norms(const double* a, std::uint64_t m, std::uint64_t n) {
  ColumnNorms norms{std::vector<double>(n, 0.0), {}};
  // Row by row: every column's sum still runs over i ascending.
  for (std::uint64_t i = 0; i < m; ++i) {
    const double* row = a + i * n;
    for (std::uint64_t j = 0; j < n; ++j) norms.estimate[j] += row[j] * row[j];
  }
  norms.reference = norms.estimate;
  return norms;
}

void downdate_column_norms(ColumnNorms& norms, const double* a, std::uint64_t m, std::uint64_t n, std::uint64_t k) {
  const double* row = a + k * n;
  for (std::uint64_t j = k + 1; j < n; ++j) {
    double& estimate = norms.estimate[j];
    if (estimate == 0.0) continue;  // NaN counts as nonzero
    double u = estimate - row[j] * row[j];
    if (!(u > 0.0)) u = 0.0;
    if (u / norms.reference[j] <= kRecomputeRatio) {
      estimate = k + 1 < m ? column_square_sum(a, m, n, k + 1, j) : 0.0;
      norms.reference[j] = estimate;
    } else {
      estimate = u;
    }
  }
}

}  // namespace kavo_ops
