#include "kavo_ops/linalg/symmetric_eigen/eigenpair_order.h"

#include <algorithm>
#include <numeric>
#include <vector>

#include "kavo/constructors/constructors.h"

namespace kavo_ops {

SymmetricEigen order_eigenpairs(kavo::Buffer<double> values, const double* vt, std::uint64_t n) {
  std::vector<std::uint64_t> order(n);
  std::iota(order.begin(), order.end(), std::uint64_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](std::uint64_t i, std::uint64_t j) { return values[i] < values[j]; });

  kavo::Buffer<double> sorted(n);
  kavo::Buffer<double> vectors(n * n);
  for (std::uint64_t j = 0; j < n; ++j) {
    sorted[j] = values[order[j]];
    const double* column = vt + order[j] * n;
    for (std::uint64_t k = 0; k < n; ++k) vectors[k * n + j] = column[k];
  }
  return {std::move(sorted), kavo::expect_valid(kavo::from_vector<double, 2>({n, n}, std::move(vectors)),
                                                "eigenvector shape matches storage")};
}

}  // namespace kavo_ops
