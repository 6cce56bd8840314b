// fma and fmaf for MinGW-w64 builds. The runtime's own versions round the
// product before the sum in about a quarter of all cases (they go through
// the x87 unit's 64-bit significand), so the baseline tier's kernels, which
// fuse through std::fma, would give other bits on Windows than on Linux.
// Defining the two functions here keeps the runtime's out of the link:
// every caller of std::fma outside the FMA-compiled tier files lands here.
//
// With the processor's fused multiply-add this is one instruction; without
// it the sum is formed exactly in integers and rounded once, to nearest with
// ties to even, as IEEE 754 requires of fusedMultiplyAdd.

#include <immintrin.h>

#include <bit>
#include <cstdint>
#include <limits>

#include "platform/cpu_features.h"
#include "platform/windows/correctly_rounded_fma.h"

namespace platform {
namespace {

using Wide = unsigned __int128;

// A binary floating-point format: significand bits after the point, and the
// exponent of the smallest normal number.
template <typename Float>
struct Format;
template <>
struct Format<double> {
  using Bits = std::uint64_t;
  static constexpr int fraction_bits = 52;
  static constexpr int exponent_bits = 11;
};
template <>
struct Format<float> {
  using Bits = std::uint32_t;
  static constexpr int fraction_bits = 23;
  static constexpr int exponent_bits = 8;
};

// |value| = significand * 2^exponent, sign apart; finite nonzero values only.
struct Exact {
  bool negative;
  Wide significand;
  int exponent;
};

template <typename Float>
Exact decompose(Float value) {
  using F = Format<Float>;
  const auto bits = std::bit_cast<typename F::Bits>(value);
  constexpr int bias = (1 << (F::exponent_bits - 1)) - 1;
  const int field = static_cast<int>((bits >> F::fraction_bits) & ((1u << F::exponent_bits) - 1));
  const Wide fraction = bits & ((typename F::Bits{1} << F::fraction_bits) - 1);
  const bool negative = (bits >> (F::fraction_bits + F::exponent_bits)) != 0;
  if (field == 0) return {negative, fraction, 1 - bias - F::fraction_bits};
  return {negative, fraction | (Wide{1} << F::fraction_bits), field - bias - F::fraction_bits};
}

int top_bit(Wide value) {
  const auto high = static_cast<std::uint64_t>(value >> 64);
  if (high != 0) return 127 - std::countl_zero(high);
  return 63 - std::countl_zero(static_cast<std::uint64_t>(value));
}

// Places the top bit at bit 124: room for a carry, and far more guard bits
// below any format's significand than correct rounding needs.
constexpr int kTop = 124;

void normalize(Exact& term) {
  const int shift = kTop - top_bit(term.significand);
  term.significand <<= shift;
  term.exponent -= shift;
}

// Shifts right, folding every bit shifted out into bit 0 (sticky).
Wide shift_right_sticky(Wide value, int shift) {
  if (shift <= 0) return value;
  if (shift >= 128) return value != 0 ? 1 : 0;
  const bool lost = (value & ((Wide{1} << shift) - 1)) != 0;
  return (value >> shift) | (lost ? 1 : 0);
}

// Rounds the exact nonzero value to Float, to nearest, ties to even.
template <typename Float>
Float round_to(const Exact& value) {
  using F = Format<Float>;
  constexpr int bias = (1 << (F::exponent_bits - 1)) - 1;
  constexpr int min_exponent = 1 - bias;  // of the smallest normal number's top bit
  constexpr int max_exponent = bias;
  const int top = top_bit(value.significand);
  const int top_exponent = top + value.exponent;
  // Significand bits that survive: all of them for normal results, fewer
  // the deeper a result lies in the subnormal range.
  int kept = F::fraction_bits + 1;
  if (top_exponent < min_exponent) kept -= min_exponent - top_exponent;
  const int shift = top + 1 - kept;
  Wide significand;
  if (shift <= 0) {
    significand = value.significand << -shift;
  } else if (shift > 127) {
    significand = 0;  // below half the smallest subnormal
  } else {
    significand = value.significand >> shift;
    const Wide rest = value.significand & ((Wide{1} << shift) - 1);
    const Wide half = Wide{1} << (shift - 1);
    if (rest > half || (rest == half && (significand & 1) != 0)) ++significand;
  }
  const int exponent = value.exponent + shift;  // of the significand's bit 0
  typename F::Bits bits;
  if (significand >> (F::fraction_bits + 1) != 0) {  // rounding carried into a new bit
    significand >>= 1;
    return round_to<Float>({value.negative, significand, exponent + 1});
  }
  if (significand >> F::fraction_bits != 0) {
    const int field = exponent + F::fraction_bits + bias;
    if (field > max_exponent + bias) return value.negative ? -std::numeric_limits<Float>::infinity()
                                                           : std::numeric_limits<Float>::infinity();
    bits = (static_cast<typename F::Bits>(field) << F::fraction_bits) |
           static_cast<typename F::Bits>(significand & ((Wide{1} << F::fraction_bits) - 1));
  } else {
    bits = static_cast<typename F::Bits>(significand);  // subnormal or zero: exponent is the minimum
  }
  if (value.negative) bits |= typename F::Bits{1} << (F::fraction_bits + F::exponent_bits);
  return std::bit_cast<Float>(bits);
}

template <typename Float>
Float software_fma(Float a, Float b, Float c) {
  // Infinities, NaNs and zero factors make the product exact, so the
  // ordinary operations give the fused result (signs of zero included).
  const auto finite_nonzero = [](Float x) { return x == x && x != 0 && x - x == 0; };
  if (!finite_nonzero(a) || !finite_nonzero(b)) return a * b + c;
  if (c != c || c - c != 0) return c + c;   // an exact finite product cannot change an infinite or NaN c
  if (c == 0) return a * b;                 // rounds once; its sign is the product's, as fma's

  const Exact x = decompose(a);
  const Exact y = decompose(b);
  Exact product{x.negative != y.negative, x.significand * y.significand, x.exponent + y.exponent};
  Exact addend = decompose(c);
  normalize(product);
  normalize(addend);
  Exact& big = product.exponent >= addend.exponent ? product : addend;
  Exact& small = product.exponent >= addend.exponent ? addend : product;
  const Wide smaller = shift_right_sticky(small.significand, big.exponent - small.exponent);
  Exact sum{big.negative, 0, big.exponent};
  if (big.negative == small.negative) {
    sum.significand = big.significand + smaller;
  } else if (big.significand >= smaller) {
    sum.significand = big.significand - smaller;
  } else {
    sum.significand = smaller - big.significand;
    sum.negative = small.negative;
  }
  if (sum.significand == 0) return Float{0};  // exact cancellation is +0 when rounding to nearest
  return round_to<Float>(sum);
}

bool has_fma_instruction() noexcept { return (cpu_features() & cpu_feature::fma) != 0; }

[[gnu::target("fma")]] double hardware_fma(double a, double b, double c) {
  return _mm_cvtsd_f64(_mm_fmadd_sd(_mm_set_sd(a), _mm_set_sd(b), _mm_set_sd(c)));
}

[[gnu::target("fma")]] float hardware_fma(float a, float b, float c) {
  return _mm_cvtss_f32(_mm_fmadd_ss(_mm_set_ss(a), _mm_set_ss(b), _mm_set_ss(c)));
}

}  // namespace

double software_fused_multiply_add(double a, double b, double c) { return software_fma(a, b, c); }
float software_fused_multiply_add(float a, float b, float c) { return software_fma(a, b, c); }

}  // namespace platform

extern "C" double fma(double a, double b, double c) {
  using namespace platform;
  return has_fma_instruction() ? hardware_fma(a, b, c) : software_fused_multiply_add(a, b, c);
}

extern "C" float fmaf(float a, float b, float c) {
  using namespace platform;
  return has_fma_instruction() ? hardware_fma(a, b, c) : software_fused_multiply_add(a, b, c);
}
