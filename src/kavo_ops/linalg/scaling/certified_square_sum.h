#pragma once
// The sum of squares of k values divided by their largest magnitude x, with
// a certified relative error bound, and the power-of-two brackets of the
// Frobenius norm ‖values/x‖₂ derived from it. The scaling gate uses these
// to choose its window from a norm it can prove, not from an estimate that
// might round the wrong way.
//
// Summation is pairwise (first ⌊k/2⌋ values, then the rest), so the
// rounding error grows with ⌈log₂ k⌉ only; the running value is kept as a
// mantissa and a separate exponent, so no partial sum overflows. Cost: one
// division, one square and one addition per value; O(log k) stack depth.
//
// The brackets assume x is the largest magnitude among the values (then
// every term is at most 1 and at least one term is exactly 1).

#include <cstdint>
#include <span>

namespace kavo_ops {

struct CertifiedSquareSum {
  bool valid = false;     // 0 < mantissa < infinity and the bound is below 1/2
  double mantissa = 0.0;  // M: 1 ≤ M < 2, or M < 1 when the whole sum is below 1
  int exponent = 0;       // E: the sum is M·2^E
  double bound = 0.0;     // w: relative error bound, a power of two
};

// log₂ w for k values: the larger of the rounding term ⌈log₂(4⌈log₂ k⌉ + 12)⌉ − 53
// and the underflow term ⌈log₂(4k)⌉ − 1074, plus one.
int square_sum_bound_exponent(std::uint64_t k) noexcept;

// Σ (v/x)² over values, with k = values.size().
CertifiedSquareSum certified_square_sum(std::span<const double> values, double x) noexcept;

// X with ‖values/x‖₂ ≤ 2^X; never above ⌈⌈log₂ max(k, 1)⌉/2⌉.
int frobenius_ceiling_exponent(std::span<const double> values, double x) noexcept;
int frobenius_ceiling_exponent(const CertifiedSquareSum& sum, std::uint64_t k) noexcept;

// a ≥ 0 with 2^a ≤ ‖values/x‖₂ (0 when the sum is not certified).
int frobenius_floor_exponent(std::span<const double> values, double x) noexcept;
int frobenius_floor_exponent(const CertifiedSquareSum& sum) noexcept;

// ⌈log₂ max(v, 1)⌉.
int ceil_log2(std::uint64_t v) noexcept;

}  // namespace kavo_ops
