#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>
#include <string_view>
#include <vector>

#include "kavo_ops/linalg/norms/magnitude_slice.h"
#include "kavo_ops/linalg/norms/norms.h"
#include "support/random_data.h"
#include "support/tier_fixture.h"

namespace kavo_ops {
namespace {

using namespace tier_testing;
using test_data::spread_values;

constexpr double eps = std::numeric_limits<double>::epsilon();
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// Around tier C's 8 accumulators, tier B's 4 lanes x 8 and tier A's 8 lanes
// x 8 (blocks of 8, 32 and 64), with every kind of tail, and long runs.
constexpr std::size_t lengths[] = {0,  1,  2,  3,  4,  5,  7,  8,  9,  15, 16,  17,  31,  32,
                                   33, 39, 40, 63, 64, 65, 71, 72, 95, 127, 128, 1000, 1013, 4099};

long double reference_sum(std::span<const double> x) {
  long double sum = 0.0L;
  for (double v : x) sum += std::fabs(static_cast<long double>(v));
  return sum;
}

double reference_max(std::span<const double> x) {
  double largest = 0.0;
  for (double v : x) largest = std::fmax(largest, std::fabs(v));
  return largest;
}

class NormMagnitudeKernelTest : public TierTest {};

TEST_P(NormMagnitudeKernelTest, MatchLongDoubleReferenceAtEveryLength) {
  for (std::size_t len : lengths) {
    for (std::uint32_t seed : {1u, 2u}) {
      SCOPED_TRACE(::testing::Message() << "len " << len << " seed " << seed);
      const std::vector<double> x = spread_values<double>(len, seed);
      const long double reference = reference_sum(x);
      const double sum = magnitude_sum_slice(x);
      // Any order of adding len non-negative terms is within (len - 1) u of the sum.
      EXPECT_LE(std::fabs(static_cast<long double>(sum) - reference),
                static_cast<long double>(len) * eps * reference);
      EXPECT_EQ(std::bit_cast<std::uint64_t>(max_magnitude_slice(x)), std::bit_cast<std::uint64_t>(reference_max(x)));
      // A fixed order: repeating gives the same bits.
      EXPECT_EQ(std::bit_cast<std::uint64_t>(magnitude_sum_slice(x)), std::bit_cast<std::uint64_t>(sum));
    }
  }
}

// A slice starting at an odd element: the kernels must not assume alignment.
TEST_P(NormMagnitudeKernelTest, ReadUnalignedSlicesAndNothingBeyondTheirEnd) {
  std::vector<double> storage = spread_values<double>(200, 9);
  for (std::size_t len : {1u, 5u, 33u, 67u, 130u}) {
    storage[1 + len] = 1e300;  // just past the slice: must not be seen
    const std::span<const double> x(storage.data() + 1, len);
    EXPECT_EQ(max_magnitude_slice(x), reference_max(x)) << len;
    EXPECT_LT(magnitude_sum_slice(x), 1e10) << len;
    storage[1 + len] = 0.5;
  }
}

// A single special value at every position of every length, so that each
// accumulator, each tail lane and each masked load meets it.
TEST_P(NormMagnitudeKernelTest, NanAndInfinityAtAnyPositionReachTheResult) {
  struct Case {
    double special;
    bool nan_result;
  };
  const Case cases[] = {{nan, true}, {-nan, true}, {inf, false}, {-inf, false}};
  for (std::size_t len : {1u, 7u, 8u, 9u, 33u, 40u, 65u, 79u, 131u}) {
    for (std::size_t at = 0; at < len; ++at) {
      for (const Case& c : cases) {
        std::vector<double> x = spread_values<double>(len, 3);
        x[at] = c.special;
        SCOPED_TRACE(::testing::Message() << "len " << len << " at " << at << " value " << c.special);
        if (c.nan_result) {
          EXPECT_TRUE(std::isnan(max_magnitude_slice(x)));
          EXPECT_TRUE(std::isnan(magnitude_sum_slice(x)));
        } else {
          EXPECT_EQ(max_magnitude_slice(x), inf);
          EXPECT_EQ(magnitude_sum_slice(x), inf);
        }
      }
    }
  }
  // NaN wins over infinity wherever either sits.
  std::vector<double> both(50, 1.0);
  both[3] = -inf;
  both[47] = nan;
  EXPECT_TRUE(std::isnan(max_magnitude_slice(both)));
  EXPECT_TRUE(std::isnan(magnitude_sum_slice(both)));
}

TEST_P(NormMagnitudeKernelTest, SignedZerosAndEmptyGivePositiveZero) {
  const std::vector<double> zeros(37, -0.0);
  for (std::size_t len : {0u, 1u, 37u}) {
    const std::span<const double> x(zeros.data(), len);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(max_magnitude_slice(x)), 0u) << len;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(magnitude_sum_slice(x)), 0u) << len;
  }
}

INSTANTIATE_TEST_SUITE_P(AllTiers, NormMagnitudeKernelTest, ::testing::ValuesIn(all_tiers), TierName());

TEST(NormOrder, AcceptsExactlyTheNamedOrders) {
  struct Case {
    std::string_view text;
    std::optional<EntrywiseNorm> kind;
  };
  const Case cases[] = {
      {"fro", EntrywiseNorm::Frobenius}, {"2", EntrywiseNorm::Frobenius}, {"l2", EntrywiseNorm::Frobenius},
      {"max", EntrywiseNorm::Max},       {"inf", EntrywiseNorm::Max},     {"1", EntrywiseNorm::Sum},
      {"l1", EntrywiseNorm::Sum},        {"nuc", std::nullopt},           {"", std::nullopt},
      {"F", std::nullopt},               {"FRO", std::nullopt},           {"L1", std::nullopt},
      {"inf ", std::nullopt},            {"-inf", std::nullopt},          {std::string_view("fro\0", 4), std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(parse_norm_order(c.text), c.kind) << "'" << c.text << "'";
}

kavo::View<double, 2> matrix(const std::vector<double>& storage, std::uint64_t rows, std::uint64_t cols,
                             std::int64_t row_stride, std::int64_t col_stride, std::uint64_t offset = 0) {
  return {storage.data(), storage.size(), kavo::Layout<2>{{rows, cols}, {row_stride, col_stride}, offset}};
}

double norm_of(const kavo::View<double, 2>& a, EntrywiseNorm kind) {
  auto result = entrywise_norm(a, kind);
  EXPECT_TRUE(result.has_value());
  return result.value_or(-1.0);
}

constexpr EntrywiseNorm kinds[] = {EntrywiseNorm::Frobenius, EntrywiseNorm::Max, EntrywiseNorm::Sum};

// The same rows x cols matrix stored in several ways. Entry (i, j) is
// value(i, j) in every layout.
struct Layouts {
  std::uint64_t rows, cols;
  std::vector<double> dense, transposed, padded, every_other, reversed;

  template <class Value>
  Layouts(std::uint64_t r, std::uint64_t c, Value value)
      : rows(r), cols(c), dense(r * c), transposed(r * c), padded(3 + r * (c + 5)), every_other(r * c * 2 + 1),
        reversed(r * c) {
    for (std::uint64_t i = 0; i < r; ++i) {
      for (std::uint64_t j = 0; j < c; ++j) {
        const double v = value(i, j);
        dense[i * c + j] = v;
        transposed[j * r + i] = v;
        padded[3 + i * (c + 5) + j] = v;
        every_other[1 + 2 * (i * c + j)] = v;
        reversed[r * c - 1 - (i * c + j)] = v;
      }
    }
  }

  kavo::View<double, 2> contiguous() const { return matrix(dense, rows, cols, std::int64_t(cols), 1); }
  // Each kind of row walk: column stride != 1, rows with gaps between them
  // (slice kernel per row), column stride 2, negative strides.
  std::vector<kavo::View<double, 2>> others() const {
    const auto r = std::int64_t(rows), c = std::int64_t(cols);
    return {matrix(transposed, rows, cols, 1, r), matrix(padded, rows, cols, c + 5, 1, 3),
            matrix(every_other, rows, cols, 2 * c, 2, 1), matrix(reversed, rows, cols, -c, -1, rows * cols - 1)};
  }
};

class NormEntrywiseTest : public TierTest {};

// Small integers: every sum is exact in any order, so all layouts must give
// identical bits.
TEST_P(NormEntrywiseTest, EveryLayoutGivesTheContiguousResultExactly) {
  for (auto [rows, cols] : {std::pair<std::uint64_t, std::uint64_t>{1, 1}, {1, 40}, {40, 1}, {3, 7}, {9, 17}, {33, 65}}) {
    const Layouts layouts(rows, cols, [](std::uint64_t i, std::uint64_t j) {
      return double((std::int64_t(i * 31 + j * 17) % 23) - 11);
    });
    for (EntrywiseNorm kind : kinds) {
      const double expected = norm_of(layouts.contiguous(), kind);
      for (const auto& view : layouts.others()) {
        EXPECT_EQ(norm_of(view, kind), expected)
            << rows << " x " << cols << " kind " << int(kind) << " strides " << view.layout.strides[0] << ", "
            << view.layout.strides[1];
      }
    }
  }
}

TEST_P(NormEntrywiseTest, AgreeWithLongDoubleReferenceOnSpreadValues) {
  for (auto [rows, cols] : {std::pair<std::uint64_t, std::uint64_t>{5, 13}, {64, 64}, {37, 101}}) {
    const std::vector<double> values = spread_values<double>(rows * cols, 11);
    const Layouts layouts(rows, cols, [&](std::uint64_t i, std::uint64_t j) { return values[i * cols + j]; });
    long double squares = 0.0L;
    for (double v : values) squares += static_cast<long double>(v) * v;
    const long double fro = std::sqrt(squares), sum = reference_sum(values);
    const long double n = static_cast<long double>(rows * cols);
    std::vector<kavo::View<double, 2>> views = layouts.others();
    views.push_back(layouts.contiguous());
    for (const auto& view : views) {
      SCOPED_TRACE(::testing::Message() << rows << " x " << cols << " strides " << view.layout.strides[0] << ", "
                                        << view.layout.strides[1]);
      EXPECT_LE(std::fabs(norm_of(view, EntrywiseNorm::Frobenius) - fro), n * eps * fro);
      EXPECT_LE(std::fabs(norm_of(view, EntrywiseNorm::Sum) - sum), n * eps * sum);
      EXPECT_EQ(norm_of(view, EntrywiseNorm::Max), reference_max(values));
    }
  }
}

// NaN in a row before larger entries: the row results must carry it through
// the combination, and the element walk must keep it too.
TEST_P(NormEntrywiseTest, NanInAnyRowMakesEveryKindNan) {
  for (auto [at_row, at_col] : {std::pair<std::uint64_t, std::uint64_t>{0, 0}, {0, 8}, {4, 3}, {8, 8}}) {
    const Layouts layouts(9, 9, [&](std::uint64_t i, std::uint64_t j) {
      return (i == at_row && j == at_col) ? nan : double(i * 9 + j);
    });
    std::vector<kavo::View<double, 2>> views = layouts.others();
    views.push_back(layouts.contiguous());
    for (const auto& view : views) {
      for (EntrywiseNorm kind : kinds) {
        EXPECT_TRUE(std::isnan(norm_of(view, kind)))
            << "NaN at " << at_row << ", " << at_col << " kind " << int(kind) << " stride " << view.layout.strides[1];
      }
    }
  }
}

TEST_P(NormEntrywiseTest, LargeEntriesOverflowTheFrobeniusNormWithoutRescaling) {
  const Layouts layouts(4, 6, [](std::uint64_t, std::uint64_t) { return -1e200; });
  std::vector<kavo::View<double, 2>> views = layouts.others();
  views.push_back(layouts.contiguous());
  for (const auto& view : views) {
    EXPECT_EQ(norm_of(view, EntrywiseNorm::Frobenius), inf);
    EXPECT_EQ(norm_of(view, EntrywiseNorm::Max), 1e200);
    EXPECT_NEAR(norm_of(view, EntrywiseNorm::Sum), 24 * 1e200, 24 * eps * 24 * 1e200);
  }
}

INSTANTIATE_TEST_SUITE_P(AllTiers, NormEntrywiseTest, ::testing::ValuesIn(all_tiers), TierName());

TEST(NormEntrywise, EmptyMatricesGiveZero) {
  const std::vector<double> none;
  for (auto [rows, cols] : {std::pair<std::uint64_t, std::uint64_t>{0, 0}, {0, 5}, {5, 0}}) {
    for (EntrywiseNorm kind : kinds) {
      // Strides and offset of an empty matrix are never looked at.
      EXPECT_EQ(norm_of(matrix(none, rows, cols, 1000, -7, 12), kind), 0.0);
    }
  }
}

TEST(NormEntrywise, RejectsLayoutsOutsideTheirStorage) {
  const std::vector<double> storage(12, 1.0);
  const kavo::View<double, 2> views[] = {
      matrix(storage, 3, 4, 4, 1, 1),   // contiguous, one element past the end
      matrix(storage, 3, 4, 5, 1),      // padded rows reaching past the end
      matrix(storage, 4, 3, 1, 4, 1),   // transposed, shifted
      matrix(storage, 3, 4, -4, -1),    // negative strides from offset 0
  };
  for (const auto& view : views) {
    for (EntrywiseNorm kind : kinds) EXPECT_FALSE(entrywise_norm(view, kind).has_value());
  }
}

TEST(NormEntrywise, ShapeProductOverflowIsReported) {
  const std::vector<double> storage(4, 1.0);
  const auto result = entrywise_norm(matrix(storage, std::uint64_t{1} << 33, std::uint64_t{1} << 33, 0, 0),
                                     EntrywiseNorm::Max);
  ASSERT_FALSE(result.has_value());
  const auto* overflow = result.error().get_if<kavo::Overflow>();
  ASSERT_NE(overflow, nullptr);
  EXPECT_EQ(overflow->reason, "layout shape product");
}

}  // namespace
}  // namespace kavo_ops
