#include <cmath>

#include "kavo_ops/linalg/symmetric_eigen/jacobi_pivot.h"

namespace kavo_ops {

JacobiPivot jacobi_full_scan(const double* a, std::uint64_t n, double floor, double* roots) {
  for (std::uint64_t i = 0; i < n; ++i) roots[i] = std::sqrt(std::fabs(a[i * n + i]));
  JacobiPivot pivot;
  for (std::uint64_t i = 0; i < n; ++i) {
    for (std::uint64_t j = i + 1; j < n; ++j) {
      const double x = std::fabs(a[i * n + j]);
      if (x > pivot.magnitude && jacobi_significant(x, roots[i], roots[j], floor)) pivot = {true, i, j, x};
    }
  }
  return pivot;
}

}  // namespace kavo_ops
