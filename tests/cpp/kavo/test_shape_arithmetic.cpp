#include <gtest/gtest.h>

#include <limits>

#include "kavo/layout/broadcast.h"
#include "kavo/layout/contiguity.h"
#include "kavo/layout/shape_arithmetic.h"
#include "platform/invariant_failure.h"

namespace kavo {
namespace {

using Shape = std::vector<std::uint64_t>;
using StrideList = std::vector<std::int64_t>;
constexpr std::uint64_t k2to63 = std::uint64_t{1} << 63;
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

std::string message_of(const ArrayError& e) { return e.display(); }
std::string overflow_text(const char* reason) {
  return std::string("Arithmetic overflow in layout calculations: ") + reason;
}

TEST(CheckedSize, ProductsAndOverflow) {
  EXPECT_EQ(*checked_size(Shape{}), 1u);
  EXPECT_EQ(*checked_size(Shape{2, 3, 4}), 24u);
  EXPECT_EQ(*checked_size(Shape{0, k2to63, k2to63}), 0u);
  EXPECT_EQ(message_of(checked_size(Shape{k2to63, 2}).error()), overflow_text("layout shape product"));
}

TEST(CContiguousStrides, RowMajorZeroExtentsAndOverflow) {
  EXPECT_EQ(*c_contiguous_strides<dynamic_rank>(Shape{4, 5}), (StrideList{5, 1}));
  EXPECT_EQ(*c_contiguous_strides<dynamic_rank>(Shape{2, 0, 3}), (StrideList{0, 3, 1}));
  EXPECT_EQ(*c_contiguous_strides<dynamic_rank>(Shape{}), StrideList{});
  EXPECT_EQ(message_of(c_contiguous_strides<dynamic_rank>(Shape{k2to63}).error()),
            overflow_text("C-contiguous dimension conversion"));
  EXPECT_EQ(message_of(c_contiguous_strides<dynamic_rank>(Shape{1ull << 32, 1ull << 32}).error()),
            overflow_text("C-contiguous stride multiplication"));
  // The fixed-rank form shares the rules.
  EXPECT_EQ(*c_contiguous_strides<3>({2, 3, 4}), (std::array<std::int64_t, 3>{12, 4, 1}));
}

struct BoundsCase {
  Shape shape;
  StrideList strides;
  std::uint64_t offset;
  std::int64_t min, max;  // expected when `error` is empty
  std::string error;
};

TEST(PhysicalBounds, SpansAndErrors) {
  const std::vector<BoundsCase> cases = {
      {{2, 3}, {3, -1}, 2, 0, 5, ""},
      {{2, 3}, {3, -1}, 0, 0, 0, "Storage error: layout accesses negative physical offset -2"},
      {{}, {}, 7, 7, 7, ""},
      {{0, 5}, {-100, 1}, 3, 3, 3, ""},
      {{3, 4}, {4, 1}, 0, 0, 11, ""},
      {{2}, {1}, k2to63, 0, 0, overflow_text("layout base offset conversion")},
      {{k2to63 + 1}, {1}, 0, 0, 0, overflow_text("layout dimension bound conversion")},
      {{3}, {kMax}, 0, 0, 0, overflow_text("layout dimension bound multiplication")},
      {{2, 2}, {kMax, 1}, 1, 0, 0, overflow_text("layout maximum offset accumulation")},
      {{2, 2}, {-kMax, std::numeric_limits<std::int64_t>::min() / 2}, 0, 0, 0,
       overflow_text("layout minimum offset accumulation")},
  };
  for (const auto& c : cases) {
    auto bounds = physical_bounds(c.shape, c.strides, c.offset);
    if (c.error.empty()) {
      ASSERT_TRUE(bounds) << bounds.error().display();
      EXPECT_EQ(*bounds, (PhysicalBounds{c.min, c.max}));
    } else {
      ASSERT_FALSE(bounds);
      EXPECT_EQ(message_of(bounds.error()), c.error);
    }
  }
}

TEST(CheckStorage, CoverageOfEveryPosition) {
  EXPECT_TRUE(check_storage(Shape{0, 5}, StrideList{123, -9}, 999, 0));
  EXPECT_EQ(message_of(check_storage(Shape{}, StrideList{}, 3, 3).error()),
            "Storage error: storage length 3 does not cover layout physical offsets 3..=3");
  EXPECT_TRUE(check_storage(Shape{}, StrideList{}, 3, 4));
  EXPECT_TRUE(check_storage(Shape{3, 4}, StrideList{4, 1}, 0, 12));
  EXPECT_EQ(message_of(check_storage(Shape{3, 4}, StrideList{4, 1}, 1, 12).error()),
            "Storage error: storage length 12 does not cover layout physical offsets 1..=12");
  EXPECT_EQ(message_of(check_storage(Shape{k2to63, 4}, StrideList{0, 0}, 0, 12).error()),
            overflow_text("layout shape product"));
}

TEST(OffsetOf, PositionsAndErrors) {
  Shape shape{2, 3};
  EXPECT_EQ(*offset_of(shape, StrideList{3, 1}, 0, Shape{1, 2}), 5u);
  EXPECT_EQ(*offset_of(shape, StrideList{-3, -1}, 5, Shape{1, 2}), 0u);
  EXPECT_EQ(message_of(offset_of(shape, StrideList{3, 1}, 0, Shape{1, 3}).error()),
            "Index out of bounds: index [1, 3], shape [2, 3]");
  EXPECT_EQ(message_of(offset_of(shape, StrideList{3, 1}, 0, Shape{1}).error()),
            "Index out of bounds: index [1], shape [2, 3]");
  EXPECT_EQ(message_of(offset_of(shape, StrideList{-3, 1}, 0, Shape{1, 0}).error()),
            "Storage error: layout index accesses negative physical offset -3");
  EXPECT_EQ(message_of(offset_of(Shape{3}, StrideList{kMax}, 0, Shape{2}).error()),
            overflow_text("layout offset multiplication"));
  EXPECT_EQ(message_of(offset_of(Shape{3}, StrideList{kMax}, 1, Shape{1}).error()),
            overflow_text("layout offset accumulation"));
}

TEST(OffsetOf, ShortStrideListIsAnInvariantFailure) {
  EXPECT_THROW((void)offset_of(Shape{2, 3}, StrideList{1}, 0, Shape{0, 0}), platform::InvariantFailure);
}

TEST(BroadcastStrides, OneSidedAlignmentAtTheLastAxis) {
  EXPECT_EQ(*broadcast_strides<dynamic_rank>(Shape{3, 1}, StrideList{1, 1}, Shape{2, 3, 4}),
            (StrideList{0, 1, 0}));
  EXPECT_EQ(*broadcast_strides<dynamic_rank>(Shape{1}, StrideList{1}, Shape{4, 3}), (StrideList{0, 0}));
  EXPECT_EQ(*broadcast_strides<dynamic_rank>(Shape{1, 1}, StrideList{7, 9}, Shape{1, 1}), (StrideList{7, 9}));
  EXPECT_EQ(message_of(broadcast_strides<dynamic_rank>(Shape{2, 3}, StrideList{3, 1}, Shape{3, 3}).error()),
            "Incompatible broadcast: from [2, 3] to [3, 3]");
  EXPECT_EQ(message_of(broadcast_strides<dynamic_rank>(Shape{1, 1, 1}, StrideList{1, 1, 1}, Shape{2, 2}).error()),
            "Incompatible broadcast: from [1, 1, 1] to [2, 2]");
}

TEST(Contiguity, OrdersAndExtentOneAxes) {
  struct Case {
    Shape shape;
    StrideList strides;
    bool c, f;
  };
  const Case cases[] = {
      {{3, 4}, {4, 1}, true, false},  {{3, 4}, {1, 3}, false, true}, {{1, 5}, {999, 1}, true, true},
      {{3, 4}, {8, 2}, false, false}, {{}, {}, true, true},          {{3, 4}, {-4, 1}, false, false},
      {{k2to63, 1}, {1, 1}, false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(is_c_contiguous(c.shape, c.strides), c.c);
    EXPECT_EQ(is_f_contiguous(c.shape, c.strides), c.f);
    EXPECT_EQ(is_contiguous(c.shape, c.strides), c.c || c.f);
  }
}

}  // namespace
}  // namespace kavo
