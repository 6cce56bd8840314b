#include "kavo_ops/linalg/lu/lu.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {

kavo::Expected<double> lu_determinant(const kavo::View<double, 2>& a) {
  auto lu = lu_decompose(a);
  if (!lu) {
    // A column without a nonzero pivot candidate: the matrix is singular.
    if (lu.error().failure_kind() == kavo::FailureKind::singular_pivot) return +0.0;
    return std::unexpected(std::move(lu.error()));
  }
  const std::uint64_t n = lu->n;
  const double* factors = lu->factors.data();
  platform::ensure(lu->factors.storage_len() >= n * n, "diagonal in bounds");
  double d = lu->sign >= 0 ? 1.0 : -1.0;
  for (std::uint64_t i = 0; i < n; ++i) d *= factors[i * n + i];
  return d;
}

}  // namespace kavo_ops
