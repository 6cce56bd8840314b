#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "kavo_ops/linalg/products/kronecker.h"

namespace kavo_ops {
namespace {

using Shape = std::array<std::uint64_t, 2>;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A logical matrix written into storage under a chosen layout; every other
// storage slot holds NaN, so a misplaced read shows in the result.
struct Stored {
  std::vector<double> storage;
  kavo::Layout<2> layout;
  kavo::View<double, 2> view() const { return {storage.data(), storage.size(), layout}; }
};

enum class Placement { RowMajor, RowMajorAtOffset, ColumnMajor, PaddedRows, EveryOtherColumn, ReversedRows };

Stored place(const std::vector<double>& logical, std::uint64_t rows, std::uint64_t cols, Placement placement) {
  const auto r = static_cast<std::int64_t>(rows);
  const auto c = static_cast<std::int64_t>(cols);
  kavo::Layout<2> layout{{rows, cols}, {c, 1}, 0};
  switch (placement) {
    case Placement::RowMajor: break;
    case Placement::RowMajorAtOffset: layout.offset = 5; break;
    case Placement::ColumnMajor: layout.strides = {1, r}; break;
    case Placement::PaddedRows: layout = {{rows, cols}, {c + 3, 1}, 2}; break;
    case Placement::EveryOtherColumn: layout.strides = {2 * c, 2}; break;
    case Placement::ReversedRows: layout = {{rows, cols}, {-c, 1}, static_cast<std::uint64_t>((r - 1) * c)}; break;
  }
  auto at = [&](std::uint64_t i, std::uint64_t j) {
    return static_cast<std::size_t>(static_cast<std::int64_t>(layout.offset) +
                                    static_cast<std::int64_t>(i) * layout.strides[0] +
                                    static_cast<std::int64_t>(j) * layout.strides[1]);
  };
  std::size_t length = 0;
  for (std::uint64_t i = 0; i < rows; ++i) {
    for (std::uint64_t j = 0; j < cols; ++j) length = std::max(length, at(i, j) + 1);
  }
  Stored stored{std::vector<double>(length + 4, kNaN), layout};
  for (std::uint64_t i = 0; i < rows; ++i) {
    for (std::uint64_t j = 0; j < cols; ++j) stored.storage[at(i, j)] = logical[i * cols + j];
  }
  return stored;
}

Stored row_major(const std::vector<double>& logical, std::uint64_t rows, std::uint64_t cols) {
  return place(logical, rows, cols, Placement::RowMajor);
}

// A view of any extents that is never read: one element of storage, stride 0.
kavo::View<double, 2> unread(Shape shape) {
  static const double element = 1.0;
  return {&element, 1, {shape, {0, 0}, 0}};
}

std::vector<double> values(const kavo::OwnedArray<double, 2>& array) {
  return {array.data(), array.data() + array.storage_len()};
}

// Equal values with equal signs of zero, NaN matching any NaN.
void expect_identical(const std::vector<double>& got, const std::vector<double>& expected) {
  ASSERT_EQ(got.size(), expected.size());
  for (std::size_t n = 0; n < got.size(); ++n) {
    const bool same = std::isnan(expected[n]) ? std::isnan(got[n])
                                              : got[n] == expected[n] && std::signbit(got[n]) == std::signbit(expected[n]);
    EXPECT_TRUE(same) << "element " << n << ": got " << got[n] << ", expected " << expected[n];
  }
}

void expect_row_major(const kavo::OwnedArray<double, 2>& array, Shape shape) {
  EXPECT_EQ(array.layout(), (kavo::Layout<2>{shape, {static_cast<std::int64_t>(shape[1]), 1}, 0}));
  EXPECT_EQ(array.storage_len(), shape[0] * shape[1]);
}

TEST(Kronecker, SmallExample) {
  auto c = kronecker(row_major({1, 2, 3, 4}, 2, 2).view(), row_major({0, 5, 6, 7}, 2, 2).view());
  ASSERT_TRUE(c);
  expect_row_major(*c, {4, 4});
  EXPECT_EQ(values(*c), (std::vector<double>{0, 5, 0, 10, 6, 7, 12, 14, 0, 15, 0, 20, 18, 21, 24, 28}));
}

TEST(Kronecker, EveryPlacementOfEitherOperandGivesTheSameBlocks) {
  // Rectangular and of different shapes, so a swapped extent or stride shows.
  const std::uint64_t p = 2, q = 3, r = 3, s = 2;
  std::vector<double> a(p * q), b(r * s);
  for (std::size_t n = 0; n < a.size(); ++n) a[n] = static_cast<double>(n + 1);
  for (std::size_t n = 0; n < b.size(); ++n) b[n] = -0.5 * static_cast<double>(n + 1);
  std::vector<double> expected(p * r * q * s);
  for (std::uint64_t i = 0; i < p; ++i)
    for (std::uint64_t j = 0; j < q; ++j)
      for (std::uint64_t k = 0; k < r; ++k)
        for (std::uint64_t l = 0; l < s; ++l) expected[(i * r + k) * (q * s) + j * s + l] = a[i * q + j] * b[k * s + l];

  const Placement placements[] = {Placement::RowMajor,   Placement::RowMajorAtOffset, Placement::ColumnMajor,
                                  Placement::PaddedRows, Placement::EveryOtherColumn, Placement::ReversedRows};
  for (Placement for_a : placements) {
    for (Placement for_b : placements) {
      SCOPED_TRACE(testing::Message() << "A placement " << static_cast<int>(for_a) << ", B placement "
                                      << static_cast<int>(for_b));
      const Stored stored_a = place(a, p, q, for_a);
      const Stored stored_b = place(b, r, s, for_b);
      auto c = kronecker(stored_a.view(), stored_b.view());
      ASSERT_TRUE(c);
      expect_row_major(*c, {p * r, q * s});
      EXPECT_EQ(values(*c), expected);
    }
  }
}

TEST(Kronecker, OneByOneOperandsScaleTheOther) {
  struct Case {
    std::vector<double> a;
    Shape a_shape;
    std::vector<double> b;
    Shape b_shape;
    std::vector<double> expected;
  };
  const std::vector<Case> cases = {
      {{2}, {1, 1}, {4}, {1, 1}, {8}},
      {{3}, {1, 1}, {1, 2, 3, 4, 5, 6}, {2, 3}, {3, 6, 9, 12, 15, 18}},
      {{1, 2, 3, 4, 5, 6}, {3, 2}, {-2}, {1, 1}, {-2, -4, -6, -8, -10, -12}},
      {{1, -1}, {2, 1}, {kNaN}, {1, 1}, {kNaN, kNaN}},
  };
  for (const auto& c : cases) {
    auto product = kronecker(row_major(c.a, c.a_shape[0], c.a_shape[1]).view(),
                             row_major(c.b, c.b_shape[0], c.b_shape[1]).view());
    ASSERT_TRUE(product);
    expect_row_major(*product, {c.a_shape[0] * c.b_shape[0], c.a_shape[1] * c.b_shape[1]});
    expect_identical(values(*product), c.expected);
  }
}

TEST(Kronecker, ZeroEntriesGivePositiveZeroBlocksWhateverBHolds) {
  // Only exact zeros are skipped: the smallest subnormal is multiplied through.
  const double tiny = std::numeric_limits<double>::denorm_min();
  auto c = kronecker(row_major({0.0, -0.0, -2.0, tiny}, 1, 4).view(), row_major({kInf, -0.0, kNaN, 1.0}, 2, 2).view());
  ASSERT_TRUE(c);
  expect_row_major(*c, {2, 8});
  expect_identical(values(*c), {0.0, 0.0, 0.0, 0.0, -kInf, 0.0, kInf, -0.0,  //
                                0.0, 0.0, 0.0, 0.0, kNaN, -2.0, kNaN, tiny});
}

TEST(Kronecker, EmptyResultsReturnWithoutReadingEitherOperand) {
  constexpr std::uint64_t huge = std::uint64_t{1} << 40;
  constexpr std::uint64_t widest = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  struct Case {
    Shape a;
    Shape b;
    Shape expected;
  };
  const std::vector<Case> cases = {
      {{0, 3}, {2, 2}, {0, 6}},
      {{2, 3}, {4, 0}, {8, 0}},
      {{0, 0}, {0, 0}, {0, 0}},
      // Walking 2^40 rows would not finish; the result must come back at once.
      {{huge, 0}, {2, 3}, {2 * huge, 0}},
      {{2, 2}, {0, huge}, {0, 2 * huge}},
      {{widest, 5}, {1, 0}, {widest, 0}},  // the largest representable extent
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "A [" << c.a[0] << ", " << c.a[1] << "], B [" << c.b[0] << ", " << c.b[1] << "]");
    auto product = kronecker(unread(c.a), unread(c.b));
    ASSERT_TRUE(product);
    expect_row_major(*product, c.expected);
  }
}

TEST(Kronecker, OutputCountsThatDoNotFitAreOverflowsNamingTheCount) {
  constexpr std::uint64_t k31 = std::uint64_t{1} << 31;
  constexpr std::uint64_t k32 = std::uint64_t{1} << 32;
  constexpr std::uint64_t k62 = std::uint64_t{1} << 62;
  constexpr std::uint64_t k63 = std::uint64_t{1} << 63;
  const std::string rows = "kronecker output row count";
  const std::string cols = "kronecker output column count";
  struct Case {
    Shape a;
    Shape b;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {{k32, 1}, {k32, 1}, rows},          // wraps 64 bits
      {{1, k32}, {1, k32}, cols},
      {{k62, 1}, {2, 1}, rows},            // 2^63: no signed extent holds it
      {{1, k62}, {1, 2}, cols},
      {{k63, 0}, {1, 1}, rows},            // even with nothing to hold
      {{0, k63}, {0, 1}, cols},
      {{k32, k32}, {k32, k32}, rows},      // rows are checked first
      {{k63, k32}, {1, k32}, cols},        // a wrapped count before a too-large one
      {{k31, k31}, {4, 4}, "kronecker output element count"},  // 2^33 x 2^33
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "A [" << c.a[0] << ", " << c.a[1] << "], B [" << c.b[0] << ", " << c.b[1] << "]");
    auto product = kronecker(unread(c.a), unread(c.b));
    ASSERT_FALSE(product);
    EXPECT_EQ(product.error().display(), "Arithmetic overflow in layout calculations: " + c.reason);
  }
}

}  // namespace
}  // namespace kavo_ops
