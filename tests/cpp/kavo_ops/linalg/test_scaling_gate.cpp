#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <random>
#include <string>
#include <vector>

#include "kavo_ops/linalg/scaling/certified_square_sum.h"
#include "kavo_ops/linalg/scaling/power_of_two.h"
#include "kavo_ops/linalg/scaling/scale_exponent_into.h"
#include "kavo_ops/linalg/scaling/scaling_gate.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {
namespace {

constexpr double kMax = std::numeric_limits<double>::max();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kEps = 0x1p-52;
constexpr double kT0 = 0x1p-970;
constexpr double kR0 = 0x1p-485 * (1.0 + 0x1p-52);

const std::string kIntermediates =
    "the matrix order exceeds the scalar's exponent range: its bounded intermediates cannot be kept finite";
const std::string kDeflationFloor =
    "the matrix order exceeds the scalar's exponent range: no scaling keeps the absolute deflation floor "
    "2^ceil(log2 n)*safmin at or below eps*||A||_F";

// Σ (v/x)² in extended precision: the reference for the certified sum.
long double reference_square_sum(const std::vector<double>& values, double x) {
  long double sum = 0;
  for (double v : values) {
    const long double ratio = static_cast<long double>(v) / x;
    sum += ratio * ratio;
  }
  return sum;
}

double largest_magnitude(const std::vector<double>& values) {
  double x = 0;
  for (double v : values) x = std::max(x, std::fabs(v));
  return x;
}

// Values whose magnitudes spread over `spread` binades below the largest.
std::vector<double> spread_values(std::mt19937_64& rng, std::size_t k, int spread) {
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::uniform_int_distribution<int> exponent(-spread, 0);
  std::vector<double> values(k);
  for (double& v : values) v = std::ldexp(unit(rng), exponent(rng) + 700);
  return values;
}

// ---------------------------------------------------------------------------
// Certified sum of squares

TEST(CertifiedSquareSum, BoundGrowsWithLog2CountAndCertifiesEveryCount) {
  struct Case {
    std::uint64_t k;
    int bound_exponent;
  };
  // k = 0, 1, 2: ⌈log₂ 12⌉ - 53 + 1; k = 3: ⌈log₂ 20⌉ - 52; the largest count:
  // ⌈log₂ 268⌉ - 52. The underflow term never dominates a 64-bit count, so no
  // count makes the sum uncertified (2w ≥ 1 would need log₂ w ≥ -1).
  const std::vector<Case> cases = {{0, -48}, {1, -48}, {2, -48}, {3, -47}, {1u << 20, -45},
                                   {std::numeric_limits<std::uint64_t>::max(), -43}};
  for (const Case& c : cases) {
    EXPECT_EQ(square_sum_bound_exponent(c.k), c.bound_exponent) << c.k;
    EXPECT_LT(c.bound_exponent, -1);
  }
}

TEST(CertifiedSquareSum, MatchesExtendedReferenceWithinItsBound) {
  std::mt19937_64 rng(20240611);
  std::vector<std::vector<double>> sets;
  for (std::size_t k : {1u, 2u, 3u, 7u, 64u, 1000u, 4097u}) {
    sets.push_back(spread_values(rng, k, 4));
    sets.push_back(spread_values(rng, k, 700));   // squares of the smallest underflow
    sets.push_back(spread_values(rng, k, 1400));  // the smallest are subnormal
  }
  // One dominant value among many tiny ones, and many equal values.
  std::vector<double> dominant(513, 0x1p-600);
  dominant[200] = 1.0;
  sets.push_back(dominant);
  sets.push_back(std::vector<double>(1000, -3.0));
  sets.push_back({kMax, std::numeric_limits<double>::denorm_min(), -kMax});

  for (const auto& values : sets) {
    const double x = largest_magnitude(values);
    const CertifiedSquareSum sum = certified_square_sum(values, x);
    ASSERT_TRUE(sum.valid) << values.size();
    EXPECT_TRUE((sum.mantissa >= 1.0 && sum.mantissa < 2.0)) << sum.mantissa;
    EXPECT_EQ(sum.bound, std::ldexp(1.0, square_sum_bound_exponent(values.size())));
    const long double reference = reference_square_sum(values, x);
    const long double computed = std::ldexp(static_cast<long double>(sum.mantissa), sum.exponent);
    EXPECT_LE(std::fabs(computed - reference), sum.bound * reference) << values.size();
  }
}

TEST(CertifiedSquareSum, ExactSumsKeepMantissaAndExponentApart) {
  struct Case {
    std::vector<double> values;
    double x;
    double mantissa;
    int exponent;
  };
  const std::vector<Case> cases = {
      {{-5.0}, 5.0, 1.0, 0},
      {{3.0, 3.0}, 3.0, 1.0, 1},
      {std::vector<double>(1024, 0x1p-1000), 0x1p-1000, 1.0, 10},
      {{1.0, 0.5}, 1.0, 1.25, 0},
      {{1.0, 1.0, 1.0}, 1.0, 1.5, 1},
      // x above every value: a sum below 1 stays unnormalised with exponent 0.
      {{0.5, 0.5}, 1.0, 0.5, 0},
  };
  for (const Case& c : cases) {
    const CertifiedSquareSum sum = certified_square_sum(c.values, c.x);
    EXPECT_TRUE(sum.valid);
    EXPECT_EQ(sum.mantissa, c.mantissa);
    EXPECT_EQ(sum.exponent, c.exponent);
  }
}

// The recursion one value at a time, every alignment through
// scale_by_power_of_two: the unrolled runs must give the same bits.
std::pair<double, int> plain_pairwise(std::span<const double> values, double x) {
  if (values.empty()) return {0.0, 0};
  if (values.size() == 1) return {(values[0] / x) * (values[0] / x), 0};
  const auto [lm, le] = plain_pairwise(values.first(values.size() / 2), x);
  const auto [rm, re] = plain_pairwise(values.subspan(values.size() / 2), x);
  const int e = std::max(le, re);
  const double m = scale_by_power_of_two(lm, le - e) + scale_by_power_of_two(rm, re - e);
  return m >= 2.0 ? std::pair{m * 0.5, e + 1} : std::pair{m, e};
}

TEST(CertifiedSquareSum, UnrolledRunsMatchThePlainRecursionBitForBit) {
  std::mt19937_64 rng(3);
  for (std::size_t k : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 17u, 100u, 1023u, 5000u}) {
    for (int spread : {0, 30, 1100, 1500}) {
      const auto values = spread_values(rng, k, spread);
      // x at the largest magnitude, below it (squares far above 2) and above it.
      for (double x : {largest_magnitude(values), largest_magnitude(values) * 0x1p-400,
                       largest_magnitude(values) * 0x1p300}) {
        const CertifiedSquareSum sum = certified_square_sum(values, x);
        const auto [mantissa, exponent] = plain_pairwise(values, x);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(sum.mantissa), std::bit_cast<std::uint64_t>(mantissa)) << k;
        EXPECT_EQ(sum.exponent, exponent) << k;
      }
    }
  }
}

TEST(CertifiedSquareSum, InvalidWithoutAPositiveFiniteSum) {
  struct Case {
    std::vector<double> values;
    double x;
  };
  const std::vector<Case> cases = {
      {{}, 1.0},                 // k = 0
      {{0.0, -0.0, 0.0}, 1.0},   // zero sum
      {{1.0, kNaN}, 1.0},        // NaN propagates
      {{1e300, 1.0}, 1e-300},    // x below the values: a square overflows
      {{1.0}, 0.0},              // 1/0
  };
  for (const Case& c : cases) EXPECT_FALSE(certified_square_sum(c.values, c.x).valid) << c.values.size();
}

// ---------------------------------------------------------------------------
// Frobenius exponents: 2^a ≤ ‖values/x‖₂ ≤ 2^X, and neither is loose by more
// than the certificate forces.

void expect_brackets(const std::vector<double>& values, double x, const char* label) {
  const int ceiling = frobenius_ceiling_exponent(values, x);
  const int floor = frobenius_floor_exponent(values, x);
  const long double square = reference_square_sum(values, x);
  const long double slack = 4 * std::ldexp(1.0L, square_sum_bound_exponent(values.size()));
  const int term_bound = (ceil_log2(static_cast<std::uint64_t>(values.size())) + 1) / 2;
  EXPECT_LE(square, std::ldexp(1.0L, 2 * ceiling)) << label;
  EXPECT_GE(square, std::ldexp(1.0L, 2 * floor)) << label;
  EXPECT_LE(ceiling, term_bound) << label;
  EXPECT_GE(floor, 0) << label;
  if (ceiling < term_bound) {
    EXPECT_LT(std::ldexp(1.0L, 2 * ceiling - 2), square * (1 + slack)) << label;
  }
  EXPECT_GT(std::ldexp(1.0L, 2 * floor + 2), square * (1 - slack)) << label;
}

TEST(CertifiedSquareSumExponents, BracketTheNormOfRandomData) {
  std::mt19937_64 rng(7);
  std::uniform_int_distribution<std::size_t> count(1, 3000);
  std::uniform_int_distribution<int> spread(0, 1200);
  for (int trial = 0; trial < 300; ++trial) {
    const auto values = spread_values(rng, count(rng), spread(rng));
    expect_brackets(values, largest_magnitude(values), "random");
  }
}

TEST(CertifiedSquareSumExponents, ExactPowersOfTwoAtTheBoundary) {
  struct Case {
    std::vector<double> values;
    int ceiling;
    int floor;
  };
  std::vector<double> sixteen_and_a_hair(16, 1.0);
  sixteen_and_a_hair.push_back(0x1p-30);  // norm² = 16 + 2^-60: the rounded sum is exactly 16
  std::vector<double> just_below_four = {1.0, 1.0, 1.0, 1.0 - 0x1p-20};
  // A computed sum that is an exact power of two may hide a rounding loss
  // either way, so the certificate gives up one step on each side there:
  // the ceiling only where the term bound does not cap it.
  const std::vector<Case> cases = {
      {{1.0}, 0, 0},
      {std::vector<double>(4, 1.0), 1, 0},    // norm exactly 2 (ceiling capped by the term bound)
      {std::vector<double>(256, 1.0), 4, 3},  // norm exactly 16
      {std::vector<double>(8, 1.0), 2, 1},    // norm 2√2
      {just_below_four, 1, 0},                // norm just below 2
      {{1.0, 1.0, 1.0, 1.0, 0x1p-30}, 2, 0},  // norm just above 2, sum rounds to 4
      {sixteen_and_a_hair, 3, 1},             // norm just above 4, sum rounds to 16
      {{1.0, 1.0}, 1, 0},                     // norm √2
  };
  for (const Case& c : cases) {
    EXPECT_EQ(frobenius_ceiling_exponent(c.values, 1.0), c.ceiling) << c.values.size();
    EXPECT_EQ(frobenius_floor_exponent(c.values, 1.0), c.floor) << c.values.size();
    expect_brackets(c.values, 1.0, "boundary");
  }
}

TEST(CertifiedSquareSumExponents, UncertifiedSumsFallBackToTheTermBound) {
  // k terms each at most 1: X = ⌈⌈log₂ k⌉/2⌉, a = 0.
  const std::vector<double> zeros(9, 0.0);
  EXPECT_EQ(frobenius_ceiling_exponent(zeros, 1.0), 2);
  EXPECT_EQ(frobenius_floor_exponent(zeros, 1.0), 0);
  EXPECT_EQ(frobenius_ceiling_exponent(std::vector<double>{}, 1.0), 0);
}

// ---------------------------------------------------------------------------
// Smallest power-of-two move into a window

TEST(ScaleExponentInto, SmallestMoveInBothDirections) {
  constexpr double tiny = std::numeric_limits<double>::denorm_min();
  struct Case {
    double a, lo, hi;
    std::optional<int> s;
  };
  const std::vector<Case> cases = {
      {1.0, 1.0, 4.0, std::nullopt},  // both ends belong to the window
      {4.0, 1.0, 4.0, std::nullopt},
      {8.0, 1.0, 4.0, 1},             // 8·2^-1 = hi exactly
      {8.5, 1.0, 4.0, 2},
      {std::nextafter(4.0, 5.0), 1.0, 4.0, 1},
      {0.5, 1.0, 4.0, -1},
      {0.3, 1.0, 4.0, -2},
      {std::nextafter(1.0, 0.0), 1.0, 4.0, -1},
      // Ends of the double range: DBL_MAX·2^-2098 rounds to the smallest
      // subnormal, DBL_MAX·2^-2097 to twice it.
      {kMax, tiny, tiny, 2098},
      {kMax, 0x1p-1022, 0x1p-1021, 2045},
      {tiny, 0x1p1022, kMax, -2096},
      {3 * tiny, 1.0, 2.0, -1073},
      {tiny, kMax, kMax, -2098},  // 2^-1074·2^2098 = 2^1024 overflows: only lo is tested
  };
  for (const Case& c : cases) {
    EXPECT_EQ(scale_exponent_into(c.a, c.lo, c.hi), c.s) << c.a << " [" << c.lo << ", " << c.hi << "]";
  }
}

TEST(ScaleExponentInto, RandomWindowsAreReachedExactlyAndMinimally) {
  std::mt19937_64 rng(99);
  std::uniform_real_distribution<double> mantissa(1.0, 2.0);
  std::uniform_int_distribution<int> exponent(-1070, 1020);
  std::uniform_int_distribution<int> width(1, 600);
  for (int trial = 0; trial < 2000; ++trial) {
    const double a = std::ldexp(mantissa(rng), exponent(rng));
    const double lo = std::ldexp(mantissa(rng), exponent(rng));
    const double hi = std::min(kMax, std::ldexp(lo, width(rng)));
    const auto s = scale_exponent_into(a, lo, hi);
    if (!s) {
      EXPECT_TRUE(lo <= a && a <= hi);
      continue;
    }
    const double moved = scale_by_power_of_two(a, -*s);
    EXPECT_TRUE(lo <= moved && moved <= hi) << a << " s=" << *s;
    // One power less would stay outside.
    if (*s > 1) {
      EXPECT_GT(scale_by_power_of_two(a, -(*s - 1)), hi);
    }
    if (*s < -1) {
      EXPECT_LT(scale_by_power_of_two(a, -(*s + 1)), lo);
    }
    // Normal products are exact: moving back restores a.
    if (moved >= 0x1p-1022) {
      EXPECT_EQ(std::ldexp(moved, *s), a);
    }
  }
}

TEST(ScaleExponentInto, ArgumentsOutsideItsDomainAreInvariantFailures) {
  EXPECT_THROW(scale_exponent_into(0.0, 1.0, 2.0), platform::InvariantFailure);
  EXPECT_THROW(scale_exponent_into(kNaN, 1.0, 2.0), platform::InvariantFailure);
  EXPECT_THROW(scale_exponent_into(kInf, 1.0, 2.0), platform::InvariantFailure);
  EXPECT_THROW(scale_exponent_into(1.0, 2.0, 1.0), platform::InvariantFailure);
  EXPECT_THROW(scale_exponent_into(1.0, 0.0, 1.0), platform::InvariantFailure);
}

// ---------------------------------------------------------------------------
// Gate forms

kavo::View<double, 2> row_major(const std::vector<double>& storage, std::uint64_t rows, std::uint64_t cols) {
  return {storage.data(), storage.size(), {{rows, cols}, {static_cast<std::int64_t>(cols), 1}, 0}};
}

struct Form {
  const char* name;
  std::function<GateResult(const kavo::View<double, 2>&)> gate;
  // The window the form must use for a matrix with these exponents.
  std::function<GateWindow(std::uint64_t rows, std::uint64_t cols, int ceiling, int floor)> window;
  double huge;  // a largest entry above the form's window for small matrices
};

const std::vector<Form>& forms() {
  static const std::vector<Form> all = {
      {"svd", [](const auto& a) { return gate_svd(a, a.layout.shape[0], a.layout.shape[1]); },
       [](std::uint64_t m, std::uint64_t n, int ceiling, int floor) {
         return *svd_gate_window(ceil_log2(std::min(m, n)), ceil_log2(std::max(m, n)), ceiling, floor);
       },
       1e300},
      {"schur", [](const auto& a) { return gate_schur(a, a.layout.shape[0]); },
       [](std::uint64_t m, std::uint64_t, int ceiling, int floor) {
         return *schur_gate_window(ceil_log2(m), ceiling, floor);
       },
       1e300},
      {"symmetric", [](const auto& a) { return gate_symmetric(a, a.layout.shape[0]); },
       [](std::uint64_t, std::uint64_t, int ceiling, int) { return *symmetric_gate_window(ceiling); }, 1e308},
      {"col_piv_qr", [](const auto& a) { return gate_col_piv_qr(a, a.layout.shape[0]); },
       [](std::uint64_t m, std::uint64_t, int, int) { return *col_piv_qr_gate_window(ceil_log2(m)); }, 1e300},
  };
  return all;
}

TEST(ScalingGate, EmptyZeroAndNonFiniteInputsAreNotScaled) {
  const double huge = 1e308;  // would be scaled by every form if it counted
  const std::vector<std::pair<std::vector<double>, std::uint64_t>> matrices = {
      {{}, 0},
      {std::vector<double>(9, 0.0), 3},
      {{huge, 1, 2, 3, kNaN, 5, 6, 7, 8}, 3},
      {{huge, 1, 2, 3, kInf, 5, 6, 7, 8}, 3},
      {{huge, 1, 2, 3, -kInf, 5, 6, 7, 8}, 3},
  };
  for (const Form& form : forms()) {
    for (const auto& [values, n] : matrices) {
      const GateResult result = form.gate(row_major(values, n, n));
      ASSERT_TRUE(result) << form.name;
      EXPECT_FALSE(result->has_value()) << form.name << " n=" << n;
    }
    // An empty 0 x 3 matrix too.
    const std::vector<double> none;
    const GateResult wide = form.gate(row_major(none, 0, 3));
    ASSERT_TRUE(wide);
    EXPECT_FALSE(wide->has_value()) << form.name;
  }
}

// Checks the scaled copy of `input` (rows x cols, logically row-major) and
// returns s.
int expect_exact_scaled_copy(const Form& form, const GateResult& result, const std::vector<double>& logical,
                             std::uint64_t rows, std::uint64_t cols) {
  EXPECT_TRUE(result) << form.name;
  if (!result || !result->has_value()) {
    ADD_FAILURE() << form.name << ": expected a scaled copy";
    return 0;
  }
  const ScaledCopy& copy = **result;
  const kavo::Layout<2> expected_layout{{rows, cols}, {static_cast<std::int64_t>(cols), 1}, 0};
  EXPECT_EQ(copy.matrix.layout(), expected_layout);
  EXPECT_EQ(copy.matrix.storage_len(), rows * cols);
  for (std::size_t i = 0; i < logical.size(); ++i) {
    EXPECT_EQ(copy.matrix.data()[i], std::ldexp(logical[i], -copy.exponent)) << form.name << " entry " << i;
  }
  // x·2^-s inside the window, and one power less would not be.
  const double x = largest_magnitude(logical);
  const GateWindow window = form.window(rows, cols, frobenius_ceiling_exponent(logical, x),
                                        frobenius_floor_exponent(logical, x));
  const double moved = std::ldexp(x, -copy.exponent);
  EXPECT_TRUE(window.lo <= moved && moved <= window.hi) << form.name;
  if (copy.exponent > 0) {
    EXPECT_GT(std::ldexp(x, 1 - copy.exponent), window.hi) << form.name;
  }
  if (copy.exponent < 0) {
    EXPECT_LT(std::ldexp(x, -1 - copy.exponent), window.lo) << form.name;
  }
  return copy.exponent;
}

TEST(ScalingGate, HugeAndTinyMatricesMoveIntoTheWindowExactly) {
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (const Form& form : forms()) {
    for (double scale : {form.huge, 1e-300}) {
      // 3 x 3 and, where the form allows it, 3 x 5; entries spread over
      // 40 binades so the small ones must stay exact too.
      for (std::uint64_t cols : {3u, 5u}) {
        if (cols != 3 && std::string(form.name) != "svd" && std::string(form.name) != "col_piv_qr") continue;
        std::vector<double> values(3 * cols);
        for (double& v : values) v = std::ldexp(unit(rng), -static_cast<int>(rng() % 40)) * scale;
        values[4] = scale;
        const int s = expect_exact_scaled_copy(form, form.gate(row_major(values, 3, cols)), values, 3, cols);
        if (scale > 1) {
          EXPECT_GT(s, 0) << form.name;
        }
        if (scale < 1) {
          EXPECT_LT(s, 0) << form.name;
        }
      }
    }
  }
}

TEST(ScalingGate, StridedInputsAreCopiedInLogicalOrder) {
  // Column-major storage of a 3 x 2 matrix, and a row-major window at an offset.
  const std::vector<double> logical = {1e300, 2e299, -3e298, 4e297, 5e296, -6e295};
  const std::vector<double> column_major = {1e300, -3e298, 5e296, 2e299, 4e297, -6e295};
  const kavo::View<double, 2> transposed{column_major.data(), 6, {{3, 2}, {1, 3}, 0}};
  std::vector<double> padded = {7.0, 7.0};
  padded.insert(padded.end(), logical.begin(), logical.end());
  const kavo::View<double, 2> offset{padded.data(), padded.size(), {{3, 2}, {2, 1}, 2}};
  for (const Form& form : forms()) {
    if (std::string(form.name) == "schur" || std::string(form.name) == "symmetric") continue;
    const int s = expect_exact_scaled_copy(form, form.gate(transposed), logical, 3, 2);
    EXPECT_EQ(expect_exact_scaled_copy(form, form.gate(offset), logical, 3, 2), s) << form.name;
  }
}

TEST(ScalingGate, BothEndsOfTheWindowBelongToIt) {
  // A 1 x 1 matrix has X = a = 0, so each window is a constant of the form.
  struct Case {
    const char* name;
    double lo;
    double hi;
  };
  const std::vector<Case> cases = {
      {"svd", kR0, std::sqrt(kMax / 4) * (1 - kEps)},
      {"schur", kR0, std::sqrt(kMax) * (1 - kEps)},
      {"symmetric", kT0, kMax / 2},
      {"col_piv_qr", kR0, std::sqrt(kMax) * (1 - kEps)},
  };
  for (const Case& c : cases) {
    const Form& form = *std::find_if(forms().begin(), forms().end(),
                                     [&](const Form& f) { return std::string(f.name) == c.name; });
    struct Probe {
      double x;
      std::optional<int> s;
    };
    for (const Probe& probe : {Probe{c.hi, std::nullopt}, Probe{std::nextafter(c.hi, kInf), 1},
                               Probe{c.lo, std::nullopt}, Probe{std::nextafter(c.lo, 0.0), -1},
                               Probe{-1.0, std::nullopt}}) {
      const std::vector<double> one = {probe.x};
      const GateResult result = form.gate(row_major(one, 1, 1));
      ASSERT_TRUE(result) << c.name;
      ASSERT_EQ(result->has_value(), probe.s.has_value()) << c.name << " x=" << probe.x;
      if (probe.s) {
        EXPECT_EQ((*result)->exponent, *probe.s) << c.name;
        EXPECT_EQ((*result)->matrix.data()[0], std::ldexp(probe.x, -*probe.s)) << c.name;
      }
    }
  }
}

TEST(ScalingGate, MatricesAlreadyInTheWindowAreNotScaled) {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (const Form& form : forms()) {
    for (double scale : {1.0, 1e-100, 1e100}) {
      std::vector<double> values(50 * 50);
      for (double& v : values) v = unit(rng) * scale;
      const GateResult result = form.gate(row_major(values, 50, 50));
      ASSERT_TRUE(result) << form.name;
      EXPECT_FALSE(result->has_value()) << form.name << " scale " << scale;
    }
  }
}

// Orders enter the window functions as ⌈log₂ order⌉, so orders far beyond
// 64 bits can be examined: that is the only place the refusals occur.
TEST(ScalingGateRefusals, EachFormRefusesFromItsThresholdOrderOn) {
  struct Case {
    const char* label;
    kavo::Expected<GateWindow> window;
    std::optional<std::string> refusal;
  };
  const std::vector<Case> cases = {
      // √(DBL_MAX·2^-1993) ≈ √2·2^-485 ≥ r₀; √(DBL_MAX·2^-1994) < r₀.
      {"qr 1993", col_piv_qr_gate_window(1993), std::nullopt},
      {"qr 1994", col_piv_qr_gate_window(1994), kIntermediates},
      // DBL_MAX·2^-1993 ≥ t₀ > DBL_MAX·2^-1994.
      {"sym 1992", symmetric_gate_window(1992), std::nullopt},
      {"sym 1993", symmetric_gate_window(1993), kIntermediates},
      // Square SVD of a single nonzero (X = a = 0): the deflation floor
      // 2^(⌈L/2⌉-970) passes hi ≈ 2^((1021-⌈L/2⌉)/2) at ⌈L/2⌉ = 988 ...
      {"svd 1974", svd_gate_window(1974, 1974, 0, 0), std::nullopt},
      {"svd 1975", svd_gate_window(1975, 1975, 0, 0), kDeflationFloor},
      // ... a larger norm (floor exponent a) lowers the floor end ...
      {"svd 1975 a=2", svd_gate_window(1975, 1975, 0, 2), std::nullopt},
      // ... and hi falls below r₀ when 2 + X + ⌈L/2⌉ reaches 1994, which is
      // reported first although the floor end is refused too.
      {"svd 3982", svd_gate_window(3982, 3982, 0, 0), kDeflationFloor},
      {"svd 3983", svd_gate_window(3983, 3983, 0, 0), kIntermediates},
      {"svd X 1991", svd_gate_window(0, 0, 1991, 0), std::nullopt},
      {"svd X 1992", svd_gate_window(0, 0, 1992, 0), kIntermediates},
      // Schur: hi = √DBL_MAX·(1 - ε) < 2^512 against 2^(⌈L/2⌉-970).
      {"schur 2962", schur_gate_window(2962, 0, 0), std::nullopt},
      {"schur 2963", schur_gate_window(2963, 0, 0), kDeflationFloor},
      {"schur X 996", schur_gate_window(0, 996, 0), std::nullopt},
      {"schur X 997", schur_gate_window(0, 997, 0), kIntermediates},
  };
  for (const Case& c : cases) {
    if (!c.refusal) {
      ASSERT_TRUE(c.window) << c.label << ": " << c.window.error().display();
      EXPECT_LE(c.window->lo, c.window->hi) << c.label;
      continue;
    }
    ASSERT_FALSE(c.window) << c.label;
    const auto* overflow = c.window.error().get_if<kavo::Overflow>();
    ASSERT_NE(overflow, nullptr) << c.label;
    EXPECT_EQ(overflow->reason, *c.refusal) << c.label;
    EXPECT_EQ(c.window.error().display(), "Arithmetic overflow in layout calculations: " + *c.refusal);
  }
}

TEST(ScalingGateRefusals, RealOrdersAreFarFromTheThresholds) {
  // The largest 64-bit orders with the most extreme exponents a matrix can
  // produce (X ≤ ⌈⌈log₂ mn⌉/2⌉ = 64, a ≥ 0) are still accepted.
  EXPECT_TRUE(svd_gate_window(64, 64, 64, 0));
  EXPECT_TRUE(schur_gate_window(64, 64, 0));
  EXPECT_TRUE(symmetric_gate_window(64));
  EXPECT_TRUE(col_piv_qr_gate_window(64));
}

}  // namespace
}  // namespace kavo_ops
