#include <cmath>

#include "kavo_ops/linalg/qr/qr.h"
#include "kavo_ops/linalg/scaling/power_of_two.h"
#include "kavo_ops/linalg/reflect_rows/reflect_rows.h"

namespace kavo_ops {
namespace {

// Inside this window a column's sum of squares can neither overflow (m <
// 2^60 rows) nor lose a square that matters against the largest one.
constexpr double kUnscaledLow = 0x1p-480;
constexpr double kUnscaledHigh = 0x1p480;

}  // namespace

bool qr_reflect_column(double* a, std::uint64_t m, std::uint64_t row_stride, std::uint64_t k,
                                       std::uint64_t end, double& head, double& tau) {
  auto at = [&](std::uint64_t row, std::uint64_t col) -> double& { return a[row * row_stride + col]; };

  double largest = 0.0;
  for (std::uint64_t l = k; l < m; ++l) largest = std::fmax(largest, std::fabs(at(l, k)));
  int exponent = 0;
  if (largest != 0.0 && (largest < kUnscaledLow || largest > kUnscaledHigh)) {
    exponent = binary_exponent(largest);
    for (std::uint64_t l = k; l < m; ++l) at(l, k) = scale_by_power_of_two(at(l, k), -exponent);
  }

  double s2 = 0.0;
  for (std::uint64_t l = k; l < m; ++l) s2 += at(l, k) * at(l, k);
  if (s2 == 0.0) return false;
  const double diagonal = at(k, k);
  const double beta = diagonal > 0.0 ? -std::sqrt(s2) : std::sqrt(s2);
  const double v0 = diagonal - beta;
  double q = v0 * v0;
  for (std::uint64_t l = k + 1; l < m; ++l) q += at(l, k) * at(l, k);
  tau = 2.0 / q;
  head = v0;

  if (k + 1 < end) {
    reflect_rows(&at(k, k + 1), row_stride, m - k, end - k - 1, v0, &at(k + 1, k), row_stride, tau,
                 ReflectRounding::separate);
  }
  at(k, k) = exponent == 0 ? beta : scale_by_power_of_two(beta, exponent);
  return true;
}

}  // namespace kavo_ops
