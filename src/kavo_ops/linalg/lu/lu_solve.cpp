#include "kavo/iter/element_iter.h"
#include "kavo_ops/linalg/lu/lu.h"
#include "kavo_ops/slice_kernels/dot_slice.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {

void lu_solve_in_place(const LuFactors& lu, std::span<double> x) {
  const std::uint64_t n = lu.n;
  platform::ensure(x.size() >= n, "LU solve: vector shorter than the factor order");
  const double* a = lu.factors.data();
  // Forward with unit L, then backward with U; rows are contiguous, so each
  // step is one dot product of a row segment with the part of x it needs.
  for (std::uint64_t i = 1; i < n; ++i) {
    x[i] -= dot_slice(std::span<const double>(a + i * n, i), std::span<const double>(x.data(), i));
  }
  for (std::uint64_t i = n; i-- > 0;) {
    const double* row = a + i * n;
    const std::uint64_t tail = n - i - 1;
    x[i] = (x[i] - dot_slice(std::span<const double>(row + i + 1, tail), std::span<const double>(x.data() + i + 1, tail))) /
           row[i];
  }
}

kavo::Expected<kavo::Buffer<double>> lu_solve(const kavo::View<double, 2>& a, const kavo::View<double, 1>& b) {
  auto lu = lu_decompose(a);
  if (!lu) return std::unexpected(std::move(lu.error()));
  const std::uint64_t n = lu->n;
  kavo::Buffer<double> x(n);
  const std::uint64_t b_len = b.layout.shape[0];
  if (b_len != n) return std::unexpected<kavo::ArrayError>(kavo::ShapeMismatch{{b_len}, {n}});
  // x = P b; b may have any stride, so its elements are read by position.
  const double* origin = b.data + b.layout.offset;
  const std::int64_t stride = b.layout.strides[0];
  for (std::uint64_t j = 0; j < n; ++j) x[j] = origin[static_cast<std::int64_t>(lu->perm[j]) * stride];
  lu_solve_in_place(*lu, x.span());
  return x;
}

}  // namespace kavo_ops
