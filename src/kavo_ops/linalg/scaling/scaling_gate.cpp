#include "kavo_ops/linalg/scaling/scaling_gate.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>

#include "kavo/assign/to_row_major.h"
#include "kavo/layout/contiguity.h"
#include "kavo_ops/linalg/scaling/certified_square_sum.h"
#include "kavo_ops/linalg/scaling/power_of_two.h"
#include "kavo_ops/linalg/scaling/scale_exponent_into.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {
namespace {

constexpr double kDblMax = std::numeric_limits<double>::max();
constexpr double kOneMinusEps = 1.0 - 0x1p-52;
constexpr double kT0 = 0x1p-970;                   // safmin·2^52
constexpr double kR0 = 0x1p-485 * (1.0 + 0x1p-52);  // √t₀ rounded up

constexpr const char* kIntermediatesRefusal =
    "the matrix order exceeds the scalar's exponent range: its bounded intermediates cannot be kept finite";
constexpr const char* kDeflationFloorRefusal =
    "the matrix order exceeds the scalar's exponent range: no scaling keeps the absolute deflation floor "
    "2^ceil(log2 n)*safmin at or below eps*||A||_F";

int ceil_half(int v) noexcept { return -((-v) >> 1); }

// √(DBL_MAX·2^-e)·(1 - ε): the largest x whose square, times 2^e, stays finite.
double root_end(int e) noexcept { return std::sqrt(scale_by_power_of_two(kDblMax, -e)) * kOneMinusEps; }

// The SVD and Schur windows: lower end max(r₀, t₀·2^(Z-a)) so the deflation
// floor stays below ε·‖A‖_F, upper end hi, both refusals in order.
kavo::Expected<GateWindow> deflating_window(int z, int floor, double hi) {
  if (kR0 > hi) return kavo::overflow(kIntermediatesRefusal);
  const double floor_end = scale_by_power_of_two(kT0, z - floor);
  if (floor_end > hi) return kavo::overflow(kDeflationFloorRefusal);
  return GateWindow{std::max(kR0, floor_end), hi};
}

kavo::OwnedArray<double, 2> owned_copy(const kavo::View<double, 2>& a, std::uint64_t count) {
  kavo::OwnedArray<double, 2> copy = kavo::to_row_major_owned(a);
  const kavo::Layout<2> expected{a.layout.shape,
                                 {static_cast<std::int64_t>(a.layout.shape[1]), 1}, 0};
  platform::ensure(copy.layout() == expected && copy.storage_len() == count,
                   "invariant: a copy of a view keeps its shape and length");
  return copy;
}

// The entries in row-major order: the view's own block when it is one dense
// row-major run, otherwise an owned copy.
struct Entries {
  std::optional<kavo::OwnedArray<double, 2>> copy;
  std::span<const double> values;
};

Entries row_major_entries(const kavo::View<double, 2>& a, std::uint64_t count) {
  const kavo::Layout<2>& layout = a.layout;
  const bool in_bounds = layout.offset <= a.len && count <= a.len - layout.offset;
  if (kavo::is_c_contiguous(layout) && in_bounds) return {std::nullopt, {a.data + layout.offset, count}};
  Entries entries{owned_copy(a, count), {}};
  entries.values = {entries.copy->data(), count};
  return entries;
}

// data[i]·2^e for every entry, for a normal exponent e: the one factor
// scale_by_power_of_two would use, in a loop the compiler can vectorise.
// For orders that fit 64 bits hi ≥ 2^478 and lo ≤ 2^-485, so |e| ≤ 590.
void scale_entries(double* data, std::uint64_t count, int e) {
  platform::ensure(e >= -1022 && e <= 1023, "invariant: a gate scale exponent is a normal exponent");
  const double factor = scale_by_power_of_two(1.0, e);
  for (std::uint64_t i = 0; i < count; ++i) data[i] *= factor;
}

// The steps every form shares; window_of maps (X, a) to the form's window.
template <class WindowOf>
GateResult run_gate(const kavo::View<double, 2>& a, bool needs_norm, WindowOf window_of) {
  const std::uint64_t count = kavo::size(a.layout);
  if (count == 0) return std::nullopt;
  Entries entries = row_major_entries(a, count);

  double largest = 0.0;
  for (double v : entries.values) {
    if (!std::isfinite(v)) return std::nullopt;
    largest = std::max(largest, std::fabs(v));
  }
  if (largest == 0.0) return std::nullopt;

  int ceiling = 0;
  int floor = 0;
  if (needs_norm) {
    const CertifiedSquareSum sum = certified_square_sum(entries.values, largest);
    ceiling = frobenius_ceiling_exponent(sum, count);
    floor = frobenius_floor_exponent(sum);
  }
  const kavo::Expected<GateWindow> window = window_of(ceiling, floor);
  if (!window) return std::unexpected(window.error());

  const std::optional<int> s = scale_exponent_into(largest, window->lo, window->hi);
  if (!s) return std::nullopt;
  kavo::OwnedArray<double, 2> scaled = entries.copy ? std::move(*entries.copy) : owned_copy(a, count);
  scale_entries(scaled.data(), count, -*s);
  return ScaledCopy{std::move(scaled), *s};
}

}  // namespace

kavo::Expected<GateWindow> svd_gate_window(int min_order_log2, int max_order_log2, int ceiling, int floor) {
  const double hi = root_end(2 + ceiling + ceil_half(max_order_log2));
  return deflating_window(ceil_half(min_order_log2), floor, hi);
}

kavo::Expected<GateWindow> schur_gate_window(int order_log2, int ceiling, int floor) {
  return deflating_window(ceil_half(order_log2), floor, root_end(2 * ceiling));
}

kavo::Expected<GateWindow> symmetric_gate_window(int ceiling) {
  const double hi = scale_by_power_of_two(kDblMax, -ceiling - 1);
  if (kT0 > hi) return kavo::overflow(kIntermediatesRefusal);
  return GateWindow{kT0, hi};
}

kavo::Expected<GateWindow> col_piv_qr_gate_window(int rows_log2) {
  const double hi = root_end(rows_log2);
  if (kR0 > hi) return kavo::overflow(kIntermediatesRefusal);
  return GateWindow{kR0, hi};
}

GateResult gate_svd(const kavo::View<double, 2>& a, std::uint64_t m, std::uint64_t n) {
  const int min_log2 = ceil_log2(std::min(m, n));
  const int max_log2 = ceil_log2(std::max(m, n));
  return run_gate(a, true, [&](int ceiling, int floor) { return svd_gate_window(min_log2, max_log2, ceiling, floor); });
}

GateResult gate_schur(const kavo::View<double, 2>& a, std::uint64_t n) {
  const int order_log2 = ceil_log2(n);
  return run_gate(a, true, [&](int ceiling, int floor) { return schur_gate_window(order_log2, ceiling, floor); });
}

GateResult gate_symmetric(const kavo::View<double, 2>& a, std::uint64_t /*n*/) {
  return run_gate(a, true, [](int ceiling, int) { return symmetric_gate_window(ceiling); });
}

GateResult gate_col_piv_qr(const kavo::View<double, 2>& a, std::uint64_t g) {
  const int rows_log2 = ceil_log2(g);
  return run_gate(a, false, [&](int, int) { return col_piv_qr_gate_window(rows_log2); });
}

}  // namespace kavo_ops
