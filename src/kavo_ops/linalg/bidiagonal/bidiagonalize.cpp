#include <algorithm>
#include <array>
#include <cmath>

#include "kavo/assign/to_row_major.h"
#include "kavo/constructors/constructors.h"
#include "kavo_ops/linalg/bidiagonal/bidiagonal.h"
#include "kavo_ops/linalg/bidiagonal/bidiagonal_step.h"
#include "kavo_ops/linalg/bidiagonal/reflector_batch.h"
#include "kavo_ops/linalg/common/finite_input.h"
#include "kavo_ops/linalg/householder/householder_reflector.h"
#include "kavo_ops/linalg/scaling/certified_square_sum.h"
#include "kavo_ops/linalg/scaling/power_of_two.h"
#include "kavo_ops/linalg/scaling/scale_exponent_into.h"
#include "platform/interrupt.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {
namespace {

kavo::OwnedArray<double, 2> identity(std::uint64_t order) {
  kavo::OwnedArray<double, 2> q = kavo::zeros<double, 2>({order, order});
  for (std::uint64_t i = 0; i < order; ++i) q.data()[i * order + i] = 1.0;
  return q;
}

// The exponent s that brings the largest entry into the window where a
// reflector (entries of order 1) times a column or row of the working copy
// stays finite: |w_j| <= ||v|| * ||A||_F <= 4 m sqrt(n) max|a|. The lower
// end keeps entries clear of the subnormal range. Nullopt: no scaling.
std::optional<int> safe_exponent(std::span<const double> values, std::uint64_t m, std::uint64_t n) {
  double largest = 0.0;
  for (double value : values) largest = std::max(largest, std::fabs(value));
  if (largest == 0.0) return std::nullopt;
  const double hi = scale_by_power_of_two(1.0, 1020 - ceil_log2(m) - ceil_log2(n));
  return scale_exponent_into(largest, 0x1p-900, hi);
}

void scale_all(std::span<double> values, int e) {
  for (double& value : values) value = scale_by_power_of_two(value, e);
}

}  // namespace

kavo::Expected<BidiagonalFactors> bidiagonalize(const kavo::View<double, 2>& a, const BidiagonalizeSplit& split) {
  const std::uint64_t m = a.layout.shape[0];
  const std::uint64_t n = a.layout.shape[1];
  if (m < n) return std::unexpected<kavo::ArrayError>(kavo::ShapeMismatch{{m, n}, {n, n}});

  kavo::OwnedArray<double, 2> work = kavo::to_row_major_owned(a);
  const std::span<double> values(work.data(), m * n);
  if (auto finite = require_finite(values, "bidiagonalization"); !finite) {
    return std::unexpected(std::move(finite.error()));
  }
  const std::optional<int> scale = safe_exponent(values, m, n);
  if (scale) scale_all(values, -*scale);

  kavo::OwnedArray<double, 2> u = identity(m);
  kavo::OwnedArray<double, 2> v = identity(n);
  // The factors are never read during the reduction, so every reflector is
  // recorded and each factor takes them all at the end, its rows in cache
  // while the reflectors pass (reflector_batch.h): the same operations per
  // row, in the same order, as batches of 16 applied along the way.
  ReflectorBatch u_batch(m, n, split.factor);
  ReflectorBatch v_batch(n, n, split.factor);
  std::vector<double> scratch(m + n);
  double* w = work.data();

  for (std::uint64_t k = 0; k < n; ++k) {
    platform::throw_if_interrupted();
    const BidiagonalStep step = reduce_bidiagonal_step(w, m, n, k, scratch.data(), scratch.data() + n, split.step);
    if (step.left) u_batch.push(k, step.left->v, step.left->tau);
    if (step.right) v_batch.push(k + 1, step.right->v, step.right->tau);
  }
  u_batch.apply_to(u.data(), m);
  v_batch.apply_to(v.data(), n);

  for (std::uint64_t j = 0; j < m; ++j) {
    for (std::uint64_t c = 0; c < n; ++c) {
      if (c < j || c > j + 1) w[j * n + c] = 0.0;
    }
  }
  if (scale) scale_all(values, *scale);
  return BidiagonalFactors{std::move(u), std::move(work), std::move(v)};
}

}  // namespace kavo_ops
