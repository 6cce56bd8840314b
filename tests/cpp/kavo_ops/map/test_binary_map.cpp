#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "kavo/constructors/constructors.h"
#include "kavo_ops/map/binary_map.h"
#include "kavo_ops/map/validate_output.h"

namespace kavo_ops {
namespace {

using kavo::Layout;

std::vector<float> random_storage(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<float> value(0.0f, 1.0f);
  std::vector<float> v(n);
  for (auto& x : v) x = value(rng) + 0.25f;
  return v;
}

// Element (i, j) of a view, by its layout.
float at(const kavo::View<float, 2>& v, std::uint64_t i, std::uint64_t j) {
  return v.data[v.layout.offset + i * v.layout.strides[0] + j * v.layout.strides[1]];
}

std::vector<float> expected_map(const kavo::View<float, 2>& a, const kavo::View<float, 2>& b, BinaryOp op) {
  std::vector<float> out;
  for (std::uint64_t i = 0; i < a.layout.shape[0]; ++i)
    for (std::uint64_t j = 0; j < a.layout.shape[1]; ++j) out.push_back(apply(op, at(a, i, j), at(b, i, j)));
  return out;
}

constexpr MapPolicy kSequentialRows{~0ull, ~0ull};  // never parallel, never tiled

struct LayoutCase {
  const char* name;
  Layout<2> a, b;  // over storages of 4096 elements
};

// Broadcast, transposed, reversed and sliced operands over a 40 x 37 output.
const LayoutCase kLayouts[] = {
    {"dense", {{40, 37}, {37, 1}, 0}, {{40, 37}, {37, 1}, 3}},
    {"row broadcast", {{40, 37}, {37, 1}, 0}, {{40, 37}, {0, 1}, 5}},
    {"column broadcast", {{40, 37}, {37, 1}, 0}, {{40, 37}, {1, 0}, 5}},
    {"scalar broadcast", {{40, 37}, {37, 1}, 0}, {{40, 37}, {0, 0}, 7}},
    {"transposed a", {{40, 37}, {1, 40}, 0}, {{40, 37}, {37, 1}, 0}},
    {"reversed", {{40, 37}, {-37, -1}, 40 * 37 - 1}, {{40, 37}, {38, 2}, 1}},
};

TEST(BinaryMap, EveryPathAndPolicyMatchesTheElementLoop) {
  const auto sa = random_storage(4096, 1), sb = random_storage(4096, 2);
  const MapPolicy policies[] = {kSequentialRows, {0, ~0ull} /* parallel rows */, {~0ull, 16} /* tiles */,
                                {0, 16} /* parallel tiles */, {~0ull, 1}, {0, 7}};
  for (const auto& c : kLayouts) {
    kavo::View<float, 2> a{sa.data(), sa.size(), c.a}, b{sb.data(), sb.size(), c.b};
    for (BinaryOp op : {BinaryOp::add, BinaryOp::sub, BinaryOp::mul, BinaryOp::div}) {
      const auto expected = expected_map(a, b, op);
      for (const auto& policy : policies) {
        auto out = kavo::zeros<float, 2>({40, 37});
        ASSERT_TRUE(binary_map(a, b, out.mut_view(), op, "binary map", policy));
        ASSERT_EQ(std::memcmp(out.data(), expected.data(), expected.size() * sizeof(float)), 0)
            << c.name << " tile " << policy.tile_edge << " llc " << policy.last_level_cache_bytes;
      }
    }
  }
}

TEST(BinaryMap, WritesThroughAStridedOutput) {
  const auto sa = random_storage(64, 3);
  kavo::View<float, 2> a{sa.data(), 64, {{4, 5}, {5, 1}, 0}};
  std::vector<float> storage(64, -1.0f);
  kavo::MutView<float, 2> out{storage.data(), 64, {{4, 5}, {1, 8}, 2}, false};  // transposed, offset
  ASSERT_TRUE(binary_map(a, a, out, BinaryOp::add, "binary map", {~0ull, 16}));
  for (std::uint64_t i = 0; i < 4; ++i)
    for (std::uint64_t j = 0; j < 5; ++j) EXPECT_EQ(storage[2 + i + 8 * j], 2 * sa[i * 5 + j]);
  EXPECT_EQ(storage[0], -1.0f);  // untouched outside the layout
}

TEST(BinaryMap, EmptyAndSingleElementMaps) {
  std::vector<float> one = {3.0f}, two = {4.0f}, out_storage = {0.0f};
  kavo::MutView<float, 2> out{out_storage.data(), 1, {{1, 1}, {1, 1}, 0}, false};
  ASSERT_TRUE(binary_map({one.data(), 1, {{1, 1}, {1, 1}, 0}}, {two.data(), 1, {{1, 1}, {9, 9}, 0}}, out,
                         BinaryOp::mul, "binary map", kSequentialRows));
  EXPECT_EQ(out_storage[0], 12.0f);
  kavo::MutView<float, 2> empty{nullptr, 0, {{0, 5}, {5, 1}, 0}, false};
  EXPECT_TRUE(binary_map({nullptr, 0, {{0, 5}, {0, 1}, 0}}, {nullptr, 0, {{0, 5}, {0, 0}, 0}}, empty,
                         BinaryOp::add, "binary map", kSequentialRows));
}

TEST(ValidateOutput, RejectsBeforeAnyWrite) {
  std::vector<float> sa(8, 1.0f);
  struct Case {
    kavo::MutView<float, 2> out;
    std::string message;
  };
  std::vector<float> storage(8, -7.0f);
  auto parent = kavo::MutView<float, 2>{storage.data(), 8, {{2, 4}, {4, 1}, 0}, false};
  auto lane = row_lanes(parent)[1];
  kavo::MutView<float, 2> marked{lane.data, lane.len, {{1, 4}, {4, 1}, 4}, true};
  const std::vector<Case> cases = {
      {{storage.data(), 8, {{2, 4}, {0, 1}, 0}, false},
       "Storage error: binary map output layout must be injective (no aliasing)"},
      {marked,
       "Storage error: binary map output must exclusively own its storage window (interleaved iterator-yielded "
       "sub-views are rejected)"},
      {{storage.data(), 8, {{2, 4}, {4, 1}, 1}, false},
       "Storage error: storage length 8 does not cover layout physical offsets 1..=8"},
  };
  for (const auto& c : cases) {
    kavo::View<float, 2> b{sa.data(), 8, {c.out.layout.shape, {0, 1}, 0}};
    kavo::View<float, 2> a_shaped{sa.data(), 8, {c.out.layout.shape, {0, 1}, 0}};
    auto result = binary_map(a_shaped, b, c.out, BinaryOp::add, "binary map", kSequentialRows);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().display(), c.message);
    for (float x : storage) EXPECT_EQ(x, -7.0f);
  }
  // The products share the rules under their own name.
  EXPECT_EQ(validate_output<float>({storage.data(), 8, {{2, 4}, {0, 1}, 0}, false}, "matmul").error().display(),
            "Storage error: matmul output layout must be injective (no aliasing)");
}

TEST(BinaryMap, InputsThatDoNotFitTheirStorageAreErrors) {
  std::vector<float> sa(4, 1.0f), storage(4, 0.0f);
  kavo::MutView<float, 2> out{storage.data(), 4, {{2, 2}, {2, 1}, 0}, false};
  auto result = binary_map({sa.data(), 4, {{2, 2}, {1, 2}, 1}}, {sa.data(), 4, {{2, 2}, {2, 1}, 0}}, out,
                           BinaryOp::add, "binary map", kSequentialRows);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().display(), "Storage error: storage length 4 does not cover layout physical offsets 1..=4");
}

}  // namespace
}  // namespace kavo_ops
