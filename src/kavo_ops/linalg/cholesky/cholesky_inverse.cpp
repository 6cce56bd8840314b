#include <algorithm>

#include "kavo/constructors/constructors.h"
#include "kavo_ops/linalg/cholesky/cholesky.h"

namespace kavo_ops {

kavo::Expected<kavo::OwnedArray<double, 2>> cholesky_inverse(const kavo::View<double, 2>& a) {
  auto factor = cholesky_factor(a);
  if (!factor) return std::unexpected(std::move(factor.error()));
  const std::uint64_t n = factor->layout().shape[0];
  auto inverse = kavo::zeros<double, 2>({n, n});
  kavo::Buffer<double> work(n);
  double* out = inverse.data();
  for (std::uint64_t column = 0; column < n; ++column) {
    std::fill(work.data(), work.data() + n, 0.0);
    work[column] = 1.0;
    cholesky_solve_in_place(*factor, work.span());
    for (std::uint64_t row = 0; row < n; ++row) out[row * n + column] = work[row];
  }
  return inverse;
}

}  // namespace kavo_ops
