#include "kavo_ops/linalg/scaling/certified_square_sum.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "kavo_ops/linalg/scaling/power_of_two.h"

namespace kavo_ops {
namespace {

struct ScaledSum {
  double mantissa;
  int exponent;
};

// 2^d for -1022 ≤ d ≤ 1023, from its bit pattern: the same single factor
// scale_by_power_of_two uses in that range, so results are identical.
double normal_power(int d) noexcept {
  return std::bit_cast<double>(static_cast<std::uint64_t>(d + 1023) << 52);
}

// Adds two partial sums aligned to the larger exponent (an exact
// power-of-two product up to underflow, which the bound covers), then
// renormalises below 2. Exponents never exceed ⌈log₂ k⌉ ≤ 64, so the
// alignment factor is always one normal power.
ScaledSum combine(ScaledSum left, ScaledSum right) noexcept {
  double mantissa;
  int exponent;
  if (left.exponent == right.exponent) {
    mantissa = left.mantissa + right.mantissa;
    exponent = left.exponent;
  } else if (left.exponent > right.exponent) {
    mantissa = left.mantissa + right.mantissa * normal_power(right.exponent - left.exponent);
    exponent = left.exponent;
  } else {
    mantissa = left.mantissa * normal_power(left.exponent - right.exponent) + right.mantissa;
    exponent = right.exponent;
  }
  if (mantissa >= 2.0) return {mantissa * 0.5, exponent + 1};
  return {mantissa, exponent};
}

ScaledSum square_term(double v, double x) noexcept {
  const double ratio = v / x;
  return {ratio * ratio, 0};
}

// Pairwise: ⌊k/2⌋ values, then the rest. Runs of up to four are written out
// with the same splits to save most of the calls.
ScaledSum pairwise_square_sum(std::span<const double> values, double x) noexcept {
  const double* v = values.data();
  switch (values.size()) {
    case 0:
      return {0.0, 0};
    case 1:
      return square_term(v[0], x);
    case 2:
      return combine(square_term(v[0], x), square_term(v[1], x));
    case 3:
      return combine(square_term(v[0], x), combine(square_term(v[1], x), square_term(v[2], x)));
    case 4:
      return combine(combine(square_term(v[0], x), square_term(v[1], x)),
                     combine(square_term(v[2], x), square_term(v[3], x)));
    default: {
      const std::size_t half = values.size() / 2;
      return combine(pairwise_square_sum(values.first(half), x), pairwise_square_sum(values.subspan(half), x));
    }
  }
}

// ⌈log₂ m⌉ for a positive finite m; exact for powers of two.
int ceil_log2(double m) noexcept {
  const int floor_exponent = binary_exponent(m);
  return m == scale_by_power_of_two(1.0, floor_exponent) ? floor_exponent : floor_exponent + 1;
}

// ⌊v/2⌋ for negative v too (arithmetic shift).
int floor_half(int v) noexcept { return v >> 1; }

}  // namespace

int ceil_log2(std::uint64_t v) noexcept {
  return v <= 1 ? 0 : static_cast<int>(std::bit_width(v - 1));
}

int square_sum_bound_exponent(std::uint64_t k) noexcept {
  const int c = 4 * ceil_log2(k);
  const int rounding = ceil_log2(static_cast<std::uint64_t>(c + 12)) - 53;
  // ⌈log₂(4k)⌉ = 2 + ⌈log₂ k⌉, without forming 4k; no term underflows when k = 0.
  const int underflow = k == 0 ? rounding : 2 + ceil_log2(k) - 1074;
  return std::max(rounding, underflow) + 1;
}

CertifiedSquareSum certified_square_sum(std::span<const double> values, double x) noexcept {
  const int bound_exponent = square_sum_bound_exponent(values.size());
  const double bound = scale_by_power_of_two(1.0, bound_exponent);
  // Holds for every count that fits 64 bits (w ≤ 2^-43); kept so the
  // certificate never claims more than the bound supports.
  if (2.0 * bound >= 1.0) return {false, 0.0, 0, bound};
  const ScaledSum sum = pairwise_square_sum(values, x);
  const bool valid = sum.mantissa > 0.0 && sum.mantissa < std::numeric_limits<double>::infinity();
  return {valid, sum.mantissa, sum.exponent, bound};
}

int frobenius_ceiling_exponent(const CertifiedSquareSum& sum, std::uint64_t k) noexcept {
  const int term_bound = (ceil_log2(k) + 1) / 2;  // k terms, each at most 1
  if (!sum.valid) return term_bound;
  int h = ceil_log2(sum.mantissa);
  // The true sum may reach M/(1 - w). When that can pass 2^h — including
  // M = 2^h exactly, where any rounding loss puts the true sum above 2^h —
  // only 2^(h+1) is certified.
  if (sum.mantissa > scale_by_power_of_two(1.0 - sum.bound, h)) ++h;
  return std::min(term_bound, floor_half(sum.exponent + h + 1));
}

int frobenius_ceiling_exponent(std::span<const double> values, double x) noexcept {
  return frobenius_ceiling_exponent(certified_square_sum(values, x), values.size());
}

int frobenius_floor_exponent(const CertifiedSquareSum& sum) noexcept {
  if (!sum.valid) return 0;
  const double lower = (1.0 - 2.0 * sum.bound) * sum.mantissa;
  const int f = binary_exponent(lower);
  const int total = sum.exponent + f;
  return total < 1 ? 0 : floor_half(total);
}

int frobenius_floor_exponent(std::span<const double> values, double x) noexcept {
  return frobenius_floor_exponent(certified_square_sum(values, x));
}

}  // namespace kavo_ops
