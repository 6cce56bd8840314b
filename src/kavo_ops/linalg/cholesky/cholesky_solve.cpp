#include "kavo/iter/element_iter.h"
#include "kavo_ops/linalg/cholesky/cholesky.h"
#include "kavo_ops/slice_kernels/dot_slice.h"

namespace kavo_ops {

void cholesky_solve_in_place(const kavo::OwnedArray<double, 2>& factor, std::span<double> x) {
  const std::size_t n = factor.layout().shape[0];
  platform::ensure(x.size() >= n, "cholesky solve: vector shorter than the factor order");
  const double* l = factor.data();
  // Forward with L: rows of L are contiguous.
  for (std::size_t i = 0; i < n; ++i) {
    const double* row = l + i * n;
    x[i] = (x[i] - dot_slice(std::span<const double>(row, i), std::span<const double>(x.data(), i))) / row[i];
  }
  // Backward with L^T: walk down column i of L.
  for (std::size_t i = n; i-- > 0;) {
    double e = x[i];
    for (std::size_t k = i + 1; k < n; ++k) e -= x[k] * l[k * n + i];
    x[i] = e / l[i * n + i];
  }
}

kavo::Expected<kavo::Buffer<double>> cholesky_solve(const kavo::View<double, 2>& a, const kavo::View<double, 1>& b) {
  auto factor = cholesky_factor(a);
  if (!factor) return std::unexpected(std::move(factor.error()));
  const std::uint64_t n = factor->layout().shape[0];
  kavo::Buffer<double> x(n);
  const std::uint64_t b_len = b.layout.shape[0];
  if (b_len != n) return std::unexpected<kavo::ArrayError>(kavo::ShapeMismatch{{b_len}, {n}});
  auto values = kavo::elements(b);
  for (std::uint64_t i = 0; i < n; ++i) x[i] = *values.next();
  cholesky_solve_in_place(*factor, x.span());
  return x;
}

}  // namespace kavo_ops
