#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <span>
#include <vector>

#include "fyrel/gemv/gemv.h"
#include "support/random_data.h"
#include "support/tier_fixture.h"

namespace fyrel {
namespace {
using namespace tier_testing;

// Around the vector widths (4, 8), the two-vector column steps (8, 16), the
// transposed column chunks (16, 32) and the four-row groups.
constexpr std::size_t row_counts[] = {0, 1, 3, 4, 5, 9};
constexpr std::size_t column_counts[] = {0, 1, 3, 4, 7, 8, 15, 16, 17, 31, 32, 33, 65};

const double sentinel = std::numeric_limits<double>::quiet_NaN();

// An m x n window with row stride s inside a larger matrix: a sentinel row
// and two sentinel elements before it, sentinels between its rows, and the
// storage ending at the window's last element, so reading past a_len leaves
// the allocation (AddressSanitizer sees it) and reading any other element
// brings a NaN into the result.
struct Window {
  std::size_t m, n, s;
  std::vector<double> storage;
  std::size_t lead;

  Window(std::size_t m_, std::size_t n_, std::size_t s_, std::uint32_t seed) : m(m_), n(n_), s(s_), lead(s_ + 2) {
    storage.assign(lead + len(), sentinel);
    const std::vector<double> values = test_data::spread_values<double>(m * n, seed);
    for (std::size_t i = 0; i < m; ++i)
      for (std::size_t j = 0; j < n; ++j) storage[lead + i * s + j] = values[i * n + j];
  }
  std::size_t len() const { return m == 0 ? 0 : n + s * (m - 1); }
  const double* data() const { return storage.data() + lead; }
  double at(std::size_t i, std::size_t j) const { return data()[i * s + j]; }
};

// A vector of `count` values followed by sentinels that must never be read.
std::vector<double> guarded(std::size_t count, std::uint32_t seed) {
  std::vector<double> v = test_data::spread_values<double>(count, seed);
  v.insert(v.end(), {sentinel, sentinel});
  return v;
}

std::size_t gemv_lanes(Tier tier) { return tier == Tier::A ? 8 : 4; }

// gemv.h's order for one row: lane l is the fma chain over columns j = l
// (mod L) from zero, lanes combined upper half onto lower half, then added to y.
double gemv_row_model(const Window& a, std::size_t i, std::span<const double> x, std::size_t lanes, double y) {
  if (a.n == 0) return y;
  std::vector<double> lane(lanes, 0.0);
  for (std::size_t j = 0; j < a.n; ++j) lane[j % lanes] = std::fma(a.at(i, j), x[j], lane[j % lanes]);
  for (std::size_t width = lanes / 2; width >= 1; width /= 2)
    for (std::size_t l = 0; l < width; ++l) lane[l] = lane[l] + lane[l + width];
  return y + lane[0];
}

void expect_same_bits(std::span<const double> got, std::span<const double> expected) {
  ASSERT_EQ(got.size(), expected.size());
  for (std::size_t k = 0; k < got.size(); ++k) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(got[k]), std::bit_cast<std::uint64_t>(expected[k]))
        << "y[" << k << "] = " << got[k] << ", expected " << expected[k];
  }
}

class GemvTest : public TierTest {};

TEST_P(GemvTest, FollowsItsTierSummationOrderOnWindows) {
  const std::size_t lanes = gemv_lanes(GetParam());
  for (std::size_t m : row_counts) {
    for (std::size_t n : column_counts) {
      for (std::size_t s : {n, n + 3}) {
        SCOPED_TRACE(::testing::Message() << "m " << m << " n " << n << " s " << s);
        const Window a(m, n, s, 1);
        const std::vector<double> x = guarded(n, 2);
        const std::vector<double> before = test_data::spread_values<double>(m + 2, 3);  // y[m], y[m + 1] must stay
        std::vector<double> expected = before;
        for (std::size_t i = 0; i < m; ++i) expected[i] = gemv_row_model(a, i, x, lanes, before[i]);
        std::vector<double> y = before;

        gemv(a.data(), a.len(), x.data(), n, y.data(), y.size(), m, n, s);

        expect_same_bits(y, expected);
        // The model itself is a matrix-vector product: within the usual
        // summation bound of an extended-precision reference.
        for (std::size_t i = 0; i < m; ++i) {
          long double exact = before[i];
          long double magnitude = std::fabs(before[i]);
          for (std::size_t j = 0; j < n; ++j) {
            exact += static_cast<long double>(a.at(i, j)) * x[j];
            magnitude += std::fabs(static_cast<long double>(a.at(i, j)) * x[j]);
          }
          EXPECT_LE(std::fabs(y[i] - exact), (n + 2) * std::ldexp(1.0L, -53) * magnitude) << "row " << i;
        }
      }
    }
  }
}

TEST_P(GemvTest, TransposeIsTheFmaChainDownEachColumn) {
  for (std::size_t m : row_counts) {
    for (std::size_t n : column_counts) {
      for (std::size_t s : {n, n + 3}) {
        SCOPED_TRACE(::testing::Message() << "m " << m << " n " << n << " s " << s);
        const Window a(m, n, s, 4);
        const std::vector<double> x = guarded(m, 5);
        std::vector<double> y = test_data::spread_values<double>(n + 2, 6);  // y[n], y[n + 1] must stay
        std::vector<double> expected = y;
        for (std::size_t i = 0; i < m; ++i)
          for (std::size_t j = 0; j < n; ++j) expected[j] = std::fma(x[i], a.at(i, j), expected[j]);

        gemv_transpose(a.data(), a.len(), x.data(), m, y.data(), y.size(), m, n, s);

        expect_same_bits(y, expected);
      }
    }
  }
}

using Kernel = void (*)(const double*, std::size_t, const double*, std::size_t, double*, std::size_t, std::size_t,
                        std::size_t, std::size_t) noexcept;

struct Lengths {
  const char* what;
  std::size_t a_len, x_len, y_len, m, n, s;
};

// Runs `kernel` on all-ones buffers big enough for `fits`, which must change
// y, then on each of `rejected`, which must not.
void expect_only_fitting_lengths_act(Kernel kernel, const Lengths& fits, std::span<const Lengths> rejected) {
  const std::vector<double> a(fits.a_len, 1.0);
  const std::vector<double> x(fits.x_len, 1.0);
  const std::vector<double> before(fits.y_len, 0.5);
  std::vector<double> y = before;
  kernel(a.data(), fits.a_len, x.data(), fits.x_len, y.data(), fits.y_len, fits.m, fits.n, fits.s);
  EXPECT_NE(y, before) << fits.what;
  for (const Lengths& c : rejected) {
    y = before;
    kernel(a.data(), c.a_len, x.data(), c.x_len, y.data(), c.y_len, c.m, c.n, c.s);
    EXPECT_EQ(y, before) << c.what;
  }
}

constexpr std::size_t huge = std::numeric_limits<std::size_t>::max();

// m = 3, n = 5, s = 7: the window needs 5 + 7 * 2 = 19 elements of a.
TEST_P(GemvTest, RejectedLengthsLeaveYUnchanged) {
  const Lengths gemv_rejected[] = {
      {"y shorter than m", 19, 5, 2, 3, 5, 7},
      {"x shorter than n", 19, 4, 3, 3, 5, 7},
      {"row stride below n", 19, 5, 3, 3, 5, 4},
      {"a one element short", 18, 5, 3, 3, 5, 7},
      {"s * (m - 1) overflows", huge, 5, 3, 3, 5, huge / 2 + 1},
      {"n + s * (m - 1) overflows", huge, 5, 3, 3, 5, huge / 2},
  };
  expect_only_fitting_lengths_act(gemv, {"gemv fits", 19, 5, 3, 3, 5, 7}, gemv_rejected);

  const Lengths transpose_rejected[] = {
      {"y shorter than n", 19, 3, 4, 3, 5, 7},
      {"x shorter than m", 19, 2, 5, 3, 5, 7},
      {"row stride below n", 19, 3, 5, 3, 5, 4},
      {"a one element short", 18, 3, 5, 3, 5, 7},
      {"s * (m - 1) overflows", huge, 3, 5, 3, 5, huge / 2 + 1},
      {"n + s * (m - 1) overflows", huge, 3, 5, 3, 5, huge / 2},
  };
  expect_only_fitting_lengths_act(gemv_transpose, {"gemv_transpose fits", 19, 3, 5, 3, 5, 7}, transpose_rejected);
}

INSTANTIATE_TEST_SUITE_P(AllTiers, GemvTest, ::testing::ValuesIn(all_tiers), TierName());

// The bit-for-bit check above only tells tier A's order from tier B's if the
// two give different bits on such data.
TEST(GemvModels, EightAndFourLaneOrdersDifferOnSpreadData) {
  const Window a(9, 65, 65, 1);
  const std::vector<double> x = guarded(65, 2);
  std::size_t differing_rows = 0;
  for (std::size_t i = 0; i < 9; ++i) {
    differing_rows += gemv_row_model(a, i, x, 8, 0.0) != gemv_row_model(a, i, x, 4, 0.0);
  }
  EXPECT_GT(differing_rows, 0u);
}

}  // namespace
}  // namespace fyrel
