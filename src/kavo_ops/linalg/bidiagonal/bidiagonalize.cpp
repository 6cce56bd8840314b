#include <algorithm>
#include <array>
#include <cmath>

#include "kavo/assign/to_row_major.h"
#include "kavo/constructors/constructors.h"
#include "kavo_ops/linalg/bidiagonal/bidiagonal.h"
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

constexpr std::size_t kGatherScratch = 128;

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

kavo::Expected<BidiagonalFactors> bidiagonalize(const kavo::View<double, 2>& a) {
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
  ReflectorBatch u_batch(m);
  ReflectorBatch v_batch(n);
  std::array<double, kGatherScratch> fixed_scratch;
  std::vector<double> grown_scratch;
  double* w = work.data();

  for (std::uint64_t k = 0; k < n; ++k) {
    platform::throw_if_interrupted();
    // Left: column k from the diagonal down.
    const std::uint64_t rows = m - k;
    double* column = fixed_scratch.data();
    if (rows > kGatherScratch) {
      grown_scratch.resize(rows);
      column = grown_scratch.data();
    }
    for (std::uint64_t i = 0; i < rows; ++i) column[i] = w[(k + i) * n + k];
    if (auto h = generate_reflector({column, rows})) {
      // Column k itself becomes beta * e_1 exactly; only the columns right
      // of it are transformed.
      apply_reflector_left(*h, values, n, k, k + 1, n);
      w[k * n + k] = h->beta;
      for (std::uint64_t i = 1; i < rows; ++i) w[(k + i) * n + k] = 0.0;
      u_batch.push(k, h->v, h->tau);
      if (u_batch.full()) u_batch.apply_to(u.data(), m);
    }
    // Right: row k from the superdiagonal on (contiguous, no gather).
    if (k + 1 < n) {
      const std::span<const double> row(w + k * n + k + 1, n - k - 1);
      if (auto h = generate_reflector(row)) {
        apply_reflector_right(*h, values, n, k + 1, m, k + 1);
        w[k * n + k + 1] = h->beta;
        std::fill(w + k * n + k + 2, w + (k + 1) * n, 0.0);
        v_batch.push(k + 1, h->v, h->tau);
        if (v_batch.full()) v_batch.apply_to(v.data(), n);
      }
    }
  }
  if (u_batch.size() != 0) u_batch.apply_to(u.data(), m);
  if (v_batch.size() != 0) v_batch.apply_to(v.data(), n);

  for (std::uint64_t j = 0; j < m; ++j) {
    for (std::uint64_t c = 0; c < n; ++c) {
      if (c < j || c > j + 1) w[j * n + c] = 0.0;
    }
  }
  if (scale) scale_all(values, *scale);
  return BidiagonalFactors{std::move(u), std::move(work), std::move(v)};
}

}  // namespace kavo_ops
