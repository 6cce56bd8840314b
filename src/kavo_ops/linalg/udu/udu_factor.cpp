#include <cmath>
#include <optional>
#include <span>

#include "kavo/assign/to_row_major.h"
#include "kavo/layout/contiguity.h"
#include "kavo_ops/linalg/common/square_order.h"
#include "kavo_ops/linalg/common/symmetric_input.h"
#include "kavo_ops/linalg/udu/udu.h"
#include "kavo_ops/slice_kernels/dot_slice.h"
#include "platform/interrupt.h"

namespace kavo_ops {
namespace {

// Pivots at or below this fraction of the largest input magnitude count as
// zero: the matrix needs symmetric pivoting, which this factorization lacks.
constexpr double kPivotTolerance = 1e-12;

}  // namespace

kavo::Expected<UduFactors> udu_factor(const kavo::View<double, 2>& a) {
  auto order = square_order(a.layout);
  if (!order) return std::unexpected(std::move(order.error()));
  const std::uint64_t n = *order;

  // Row-major input is read where it lies; anything else through a copy.
  std::optional<kavo::OwnedArray<double, 2>> copy;
  const double* input = a.data + a.layout.offset;
  const bool in_place = kavo::is_c_contiguous(a.layout) && a.layout.offset <= a.len && n * n <= a.len - a.layout.offset;
  if (!in_place) {
    copy.emplace(kavo::to_row_major_owned(a));
    input = copy->data();
  }

  auto largest = require_symmetric_input(input, n, "UDU");
  if (!largest) return std::unexpected(std::move(largest.error()));
  const double tolerance = kPivotTolerance * *largest;

  auto u_array = kavo::zeros<double, 2>({n, n});
  kavo::Buffer<double> d(n);
  kavo::Buffer<double> w(n);
  double* u = u_array.data();
  for (std::uint64_t c = n; c-- > 0;) {
    platform::throw_if_interrupted();
    const std::uint64_t done = n - 1 - c;
    const double* u_row_c = u + c * n + c + 1;
    for (std::uint64_t k = 0; k < done; ++k) w[k] = u_row_c[k] * d[c + 1 + k];
    const std::span<const double> weights(w.data(), done);
    const double pivot = input[c * n + c] - dot_slice(std::span<const double>(u_row_c, done), weights);
    // A non-finite pivot is an overflow inside U (its row grew without a
    // pivoting bound); it must not come back as a factor.
    if (!(std::abs(pivot) > tolerance) || !std::isfinite(pivot)) {
      return kavo::storage_error("UDU encountered a zero pivot (needs symmetric pivoting)",
                                 kavo::FailureKind::zero_pivot);
    }
    d[c] = pivot;
    u[c * n + c] = 1.0;
    for (std::uint64_t i = c; i-- > 0;) {
      const std::span<const double> u_row_i(u + i * n + c + 1, done);
      u[i * n + c] = (input[i * n + c] - dot_slice(u_row_i, weights)) / pivot;
    }
  }
  platform::ensure(u_array.layout() == kavo::Layout<2>{{n, n}, {static_cast<std::int64_t>(n), 1}, 0},
                   "U shape matches storage");
  return UduFactors{std::move(u_array), std::move(d)};
}

}  // namespace kavo_ops
