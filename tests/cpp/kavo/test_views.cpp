#include <gtest/gtest.h>

#include <numeric>

#include "kavo/kavo.h"

namespace kavo {
namespace {

template <class T, std::size_t R>
std::vector<T> drain_front(ElementIter<T, R> it) {
  std::vector<T> out;
  while (auto v = it.next()) out.push_back(*v);
  return out;
}

std::vector<double> iota_storage(std::size_t n) {
  std::vector<double> v(n);
  std::iota(v.begin(), v.end(), 0.0);
  return v;
}

TEST(Elements, StridedOrderFromBothEnds) {
  auto storage = iota_storage(6);
  View<double, 2> transposed{storage.data(), 6, {{2, 3}, {1, 2}, 0}};
  EXPECT_EQ(drain_front(elements(transposed)), (std::vector<double>{0, 2, 4, 1, 3, 5}));

  auto it = elements(transposed);
  std::vector<double> back;
  while (auto v = it.next_back()) back.push_back(*v);
  EXPECT_EQ(back, (std::vector<double>{5, 3, 1, 4, 2, 0}));
}

TEST(Elements, EndsMeetWithoutRepeats) {
  auto storage = iota_storage(64);
  const std::vector<View<double, 2>> views = {
      {storage.data(), 64, {{3, 5}, {1, 3}, 0}},    // odometer
      {storage.data(), 64, {{4, 4}, {4, 1}, 10}},   // dense pointer walk
      {storage.data(), 64, {{3, 3}, {-8, -2}, 40}}, // reversed strides
  };
  for (const auto& view : views) {
    auto expected = drain_front(elements(view));
    auto it = elements(view);
    std::vector<double> front, back;
    bool from_front = true;
    while (it.remaining() > 0) {
      (from_front ? front : back).push_back(from_front ? *it.next() : *it.next_back());
      from_front = !from_front;
    }
    EXPECT_FALSE(it.next().has_value());
    EXPECT_FALSE(it.next_back().has_value());
    front.insert(front.end(), back.rbegin(), back.rend());
    EXPECT_EQ(front, expected);
  }
}

TEST(Elements, EmptyAndSingle) {
  auto storage = iota_storage(4);
  EXPECT_TRUE(drain_front(elements(View<double, 2>{storage.data(), 4, {{0, 5}, {1, 7}, 0}})).empty());
  EXPECT_EQ(drain_front(elements(View<double, 2>{storage.data(), 4, {{1, 1}, {9, 9}, 3}})),
            std::vector<double>{3});
}

TEST(PermutedAxes, TransposeAndInvalidOrders) {
  auto storage = iota_storage(12);
  View<double, 2> view{storage.data(), 12, {{3, 4}, {4, 1}, 0}};
  auto t = permuted_axes(view, {1, 0});
  ASSERT_TRUE(t);
  EXPECT_EQ(t->layout, (Layout<2>{{4, 3}, {1, 4}, 0}));
  EXPECT_EQ(permuted_axes(*t, {1, 0})->layout, view.layout);
  EXPECT_EQ(permuted_axes(view, {0, 0}).error().display(), "Storage error: Duplicate axis 0 in transposition");
  EXPECT_EQ(permuted_axes(view, {1, 2}).error().display(), "Storage error: Axis 2 out of range for transposition");
}

TEST(ToRowMajorOwned, AllThreePathsAgreeWithElementOrder) {
  // 33 x 65 exercises partial tiles on both edges of the 32 x 32 transpose.
  const std::uint64_t rows = 33, cols = 65;
  auto storage = iota_storage(rows * cols * 2 + 1);
  const std::vector<View<double, 2>> views = {
      {storage.data(), storage.size(), {{rows, cols}, {static_cast<std::int64_t>(cols), 1}, 1}},  // row-major
      {storage.data(), storage.size(), {{rows, cols}, {1, static_cast<std::int64_t>(rows)}, 1}},  // column-major
      {storage.data(), storage.size(), {{rows, cols}, {1, 2 * static_cast<std::int64_t>(rows)}, 0}},  // strided
  };
  for (const auto& view : views) {
    auto owned = to_row_major_owned(view);
    EXPECT_EQ(owned.layout(), (Layout<2>{{rows, cols}, {static_cast<std::int64_t>(cols), 1}, 0}));
    auto expected = drain_front(elements(view));
    ASSERT_EQ(owned.storage_len(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), owned.data()));
  }
}

TEST(Constructors, ZerosAndFromVector) {
  auto z = zeros<float, 2>({2, 3});
  EXPECT_EQ(z.layout(), (Layout<2>{{2, 3}, {3, 1}, 0}));
  EXPECT_TRUE(std::all_of(z.data(), z.data() + 6, [](float x) { return x == 0.0f; }));
  EXPECT_EQ((zeros<float, 2>({0, 3}).storage_len()), 0u);

  EXPECT_TRUE((from_vector<double, 2>({2, 2}, Buffer<double>(4))));
  EXPECT_EQ((from_vector<double, 2>({2, 2}, Buffer<double>(5))).error().display(),
            "Storage error: Vector length 5 does not match layout size 4");
  EXPECT_EQ((try_zeros<float, 2>({1ull << 32, 1ull << 32})).error().display(),
            "Arithmetic overflow in layout calculations: C-contiguous stride multiplication");
}

TEST(SharedWindowMark, LaneViewsRefuseTheWholeWindow) {
  auto owned = zeros<float, 2>({2, 3});
  auto parent = owned.mut_view();
  EXPECT_EQ(parent.whole_window().size(), 6u);
  auto lanes = row_lanes(parent);
  ASSERT_EQ(lanes.size(), 2u);
  EXPECT_EQ(lanes[1].layout.offset, 3u);
  EXPECT_THROW((void)lanes[1].whole_window(), platform::InvariantFailure);
}

}  // namespace
}  // namespace kavo
