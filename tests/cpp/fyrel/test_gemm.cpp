#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fyrel/gemm/gemm.h"
#include "fyrel/gemm/gemm_kernels.h"
#include "support/random_data.h"
#include "support/tier_fixture.h"

namespace fyrel {
namespace {

using tier_testing::TierTest;

// The plain loop every path must reproduce bit for bit.
template <class T>
void reference_chain(const std::vector<T>& a, const std::vector<T>& b, std::vector<T>& c, std::size_t m,
                     std::size_t n, std::size_t k) {
  for (std::size_t i = 0; i < m; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      T acc = c[i * n + j];
      for (std::size_t p = 0; p < k; ++p) acc = std::fma(a[i * k + p], b[p * n + j], acc);
      c[i * n + j] = acc;
    }
  }
}

struct Shape {
  std::size_t m, n, k;
};

// Around the small-path thresholds (m, n < 16, k < 32), every tier's tile
// widths and row counts (remainder strips: float64 n = 25 is one 24-column
// strip and one masked column on tier A), more than one k block (kc <= 512),
// and B large enough to be packed (300 x 300 float64 = 720,000 bytes; 200 x
// 300 = 480,000 bytes is read in place).
constexpr Shape shapes[] = {
    {1, 1, 1},    {2, 3, 4},     {15, 16, 32},  {16, 15, 32},  {16, 16, 31},   {16, 16, 32},  {7, 25, 40},
    {17, 25, 33}, {31, 63, 65},  {32, 64, 64},  {33, 65, 129}, {70, 130, 300}, {5, 97, 520},  {200, 300, 300},
    {300, 300, 300}, {19, 250, 600},
};

template <class T>
void expect_chain_bits(const Shape& s) {
  SCOPED_TRACE(::testing::Message() << s.m << " x " << s.k << " * " << s.k << " x " << s.n << ", "
                                    << sizeof(T) * 8 << "-bit");
  const auto a = test_data::spread_values<T>(s.m * s.k, 1);
  const auto b = test_data::spread_values<T>(s.k * s.n, 2);
  auto c = test_data::spread_values<T>(s.m * s.n + 1, 3);  // one guard element past C
  auto expected = c;
  reference_chain(a, b, expected, s.m, s.n, s.k);
  gemm(a.data(), a.size(), b.data(), b.size(), c.data(), s.m * s.n, s.m, s.n, s.k);
  ASSERT_EQ(std::memcmp(c.data(), expected.data(), c.size() * sizeof(T)), 0);
}

class GemmTest : public TierTest {};

TEST_P(GemmTest, EveryElementIsTheAscendingFusedChainFromC) {
  for (const Shape& s : shapes) {
    expect_chain_bits<float>(s);
    expect_chain_bits<double>(s);
  }
}

TEST_P(GemmTest, ShortBuffersLeaveCUntouched) {
  const std::size_t m = 20, n = 20, k = 40;
  const auto a = test_data::spread_values<double>(m * k, 4);
  const auto b = test_data::spread_values<double>(k * n, 5);
  const auto before = test_data::spread_values<double>(m * n, 6);
  const struct {
    std::size_t a_len, b_len, c_len;
  } cases[] = {{m * k - 1, k * n, m * n}, {m * k, k * n - 1, m * n}, {m * k, k * n, m * n - 1}};
  for (const auto& lengths : cases) {
    auto c = before;
    gemm(a.data(), lengths.a_len, b.data(), lengths.b_len, c.data(), lengths.c_len, m, n, k);
    EXPECT_EQ(c, before);
  }
  // Shapes whose products overflow do nothing either.
  auto c = before;
  gemm(a.data(), a.size(), b.data(), b.size(), c.data(), c.size(), SIZE_MAX, 2, 2);
  EXPECT_EQ(c, before);
}

TEST_P(GemmTest, EmptyDepthLeavesC) {
  std::vector<float> c(6, 1.5f);
  gemm(static_cast<const float*>(nullptr), 0, static_cast<const float*>(nullptr), 0, c.data(), c.size(), 2, 3, 0);
  EXPECT_EQ(c, std::vector<float>(6, 1.5f));
}

INSTANTIATE_TEST_SUITE_P(AllTiers, GemmTest, ::testing::ValuesIn(tier_testing::all_tiers), tier_testing::TierName());

TEST(GemmKernels, TileShapesPerTier) {
  using platform::Tier;
  const struct {
    Tier tier;
    std::size_t f32_mr, f32_nr, f64_mr, f64_nr;
  } cases[] = {{Tier::A, 6, 64, 3, 24}, {Tier::B, 4, 24, 4, 12}, {Tier::C, 3, 12, 3, 6}};
  for (const auto& c : cases) {
    EXPECT_EQ(gemm_kernels<float>(c.tier).mr, c.f32_mr);
    EXPECT_EQ(gemm_kernels<float>(c.tier).nr, c.f32_nr);
    EXPECT_EQ(gemm_kernels<double>(c.tier).mr, c.f64_mr);
    EXPECT_EQ(gemm_kernels<double>(c.tier).nr, c.f64_nr);
  }
}

TEST(GemmPacking, FromHalfAMebibyteOfBWithTiledShapes) {
  EXPECT_TRUE(gemm_packs_b<double>(300, 300, 300));   // 720,000 bytes
  EXPECT_FALSE(gemm_packs_b<double>(300, 300, 200));  // 480,000 bytes
  EXPECT_TRUE(gemm_packs_b<float>(16, 256, 512));     // exactly 524,288 bytes
  EXPECT_FALSE(gemm_packs_b<float>(15, 4096, 4096));  // small path
}

}  // namespace
}  // namespace fyrel
