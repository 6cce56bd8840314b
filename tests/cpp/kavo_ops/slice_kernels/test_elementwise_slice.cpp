#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <span>
#include <vector>

#include "kavo_ops/slice_kernels/elementwise_scalar_slice.h"
#include "kavo_ops/slice_kernels/elementwise_slice.h"
#include "kavo_ops/slice_kernels/slice_kernel_table.h"
#include "support/tier_fixture.h"

namespace kavo_ops::test_support {
using namespace tier_testing;
namespace {

using Kernel = void (*)(std::span<const float>, std::span<const float>, std::span<float>);

using ScalarKernel = void (*)(std::span<const float>, float, std::span<float>);

struct ElementwiseOp {
  const char* name;
  Kernel kernel;
  ScalarKernel scalar_kernel;
  float (*scalar)(float, float);
};

const ElementwiseOp elementwise_ops[] = {
    {"add", add_slice, add_scalar_slice, [](float a, float b) { return a + b; }},
    {"sub", sub_slice, sub_scalar_slice, [](float a, float b) { return a - b; }},
    {"mul", mul_slice, mul_scalar_slice, [](float a, float b) { return a * b; }},
    {"div", div_slice, div_scalar_slice, [](float a, float b) { return a / b; }},
};

constexpr std::size_t streaming_threshold = std::size_t{1} << 21;
// Both sides of the vector block sizes (8, 16, 32) and of the streaming threshold.
constexpr std::size_t lengths[] = {0,  1,  3,  15, 17, 33, streaming_threshold - 1, streaming_threshold,
                                   streaming_threshold + 5};
// Output offsets from a 64-byte boundary, in elements: 0 needs no alignment
// prologue, the others make the streaming path align first.
constexpr std::size_t out_shifts[] = {0, 1, 11};
constexpr std::uint32_t sentinel = 0xDEADBEEF;

std::uint32_t bits(float v) { return std::bit_cast<std::uint32_t>(v); }

// Values with every special case sprinkled in: signed zeros, infinities, one
// NaN pattern, subnormals, and large values whose products overflow.
std::vector<float> operand(std::size_t n, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> mantissa(-2.0f, 2.0f);
  std::uniform_int_distribution<int> exponent(-30, 30);
  const float specials[] = {0.0f, -0.0f, std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::denorm_min(), 3e38f, -1e-40f};
  std::vector<float> values(n);
  for (std::size_t i = 0; i < n; ++i) {
    values[i] = (rng() % 13 == 0) ? specials[rng() % std::size(specials)] : std::ldexp(mantissa(rng), exponent(rng));
  }
  return values;
}

// A float buffer with a known 64-byte aligned element position.
struct AlignedFloats {
  explicit AlignedFloats(std::size_t n) : storage(n + 16) {
    const auto address = reinterpret_cast<std::uintptr_t>(storage.data());
    base = (64 - address % 64) % 64 / sizeof(float);
  }
  float* at(std::size_t shift) { return storage.data() + base + shift; }
  std::vector<float> storage;
  std::size_t base = 0;
};

class ElementwiseSliceTest : public TierTest {};

TEST_P(ElementwiseSliceTest, EqualsScalarLoopBitForBitWithAnyOutputAlignment) {
  const std::size_t max_len = lengths[std::size(lengths) - 1];
  const std::vector<float> a_values = operand(max_len + 3, 1);
  const std::vector<float> b_values = operand(max_len + 3, 2);
  constexpr std::size_t guard = 8;
  AlignedFloats out(max_len + out_shifts[std::size(out_shifts) - 1] + guard);

  for (const ElementwiseOp& op : elementwise_ops) {
    for (std::size_t len : lengths) {
      for (std::size_t shift : out_shifts) {
        SCOPED_TRACE(::testing::Message() << op.name << " len " << len << " out shift " << shift);
        // Misalign the inputs too (by different amounts), as real callers may.
        const std::span<const float> a(a_values.data() + 1, len);
        const std::span<const float> b(b_values.data() + 3, len);
        float* dst = out.at(shift);
        std::fill(out.storage.begin(), out.storage.end(), std::bit_cast<float>(sentinel));

        op.kernel(a, b, std::span<float>(dst, len));

        std::size_t mismatches = 0;
        for (std::size_t i = 0; i < len; ++i) {
          if (bits(dst[i]) != bits(op.scalar(a[i], b[i])) && mismatches++ < 3) {
            ADD_FAILURE() << "element " << i << ": " << dst[i] << " vs " << op.scalar(a[i], b[i]);
          }
        }
        EXPECT_EQ(mismatches, 0u);
        for (std::size_t i = 0; i < guard; ++i) EXPECT_EQ(bits(dst[len + i]), sentinel) << "wrote past the end";
        if (shift > 0) {
          EXPECT_EQ(bits(dst[-1]), sentinel) << "wrote before the start";
        }
      }
    }
  }
}

// A repeated second operand (the rows of a column broadcast): each element as
// the scalar loop computes it, for special repeated values too, and nothing
// written outside the run.
TEST_P(ElementwiseSliceTest, RepeatedOperandEqualsScalarLoopBitForBit) {
  const std::vector<float> a_values = operand(200, 5);
  const float repeated[] = {1.5f, -0.0f, 0.0f, std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::denorm_min(), 3e38f};
  constexpr std::size_t guard = 8;
  AlignedFloats out(200 + guard + 1);
  for (const ElementwiseOp& op : elementwise_ops) {
    for (std::size_t len : {0u, 1u, 7u, 8u, 15u, 16u, 17u, 31u, 33u, 191u}) {
      for (float b : repeated) {
        SCOPED_TRACE(::testing::Message() << op.name << " len " << len << " b " << b);
        std::fill(out.storage.begin(), out.storage.end(), std::bit_cast<float>(sentinel));
        const std::span<const float> a(a_values.data() + 1, len);
        float* dst = out.at(1);
        op.scalar_kernel(a, b, std::span<float>(dst, len));
        for (std::size_t i = 0; i < len; ++i) ASSERT_EQ(bits(dst[i]), bits(op.scalar(a[i], b))) << i;
        for (std::size_t i = 0; i < guard; ++i) ASSERT_EQ(bits(dst[len + i]), sentinel) << "wrote past the end";
        ASSERT_EQ(bits(dst[-1]), sentinel) << "wrote before the start";
      }
    }
  }
}

TEST_P(ElementwiseSliceTest, DivisionByZeroGivesInfinityOrNaNOnlyInItsPosition) {
  const std::vector<float> a = {1.0f, -1.0f, 0.0f, 6.0f, 1.0f, 7.0f, 8.0f, 9.0f, 10.0f, 11.0f, 12.0f, 13.0f,
                                14.0f, 15.0f, 16.0f, 17.0f, 18.0f, 19.0f};
  std::vector<float> b(a.size(), 2.0f);
  b[0] = 0.0f;
  b[1] = 0.0f;
  b[2] = 0.0f;
  b[4] = -0.0f;
  b[17] = 0.0f;  // in the masked tail on every tier
  std::vector<float> out(a.size());
  div_slice(a, b, out);
  EXPECT_EQ(out[0], std::numeric_limits<float>::infinity());
  EXPECT_EQ(out[1], -std::numeric_limits<float>::infinity());
  EXPECT_TRUE(std::isnan(out[2]));
  EXPECT_EQ(out[4], -std::numeric_limits<float>::infinity());
  EXPECT_EQ(out[17], std::numeric_limits<float>::infinity());
  for (std::size_t i : {3u, 5u, 6u, 10u, 16u}) EXPECT_EQ(out[i], a[i] / 2.0f) << i;
}

// The tier routines refuse, writing nothing, when the lengths do not fit; the
// checked kernels then fall back to the baseline loop (unreachable after the
// entry checks, so exercised directly here).
TEST_P(ElementwiseSliceTest, TierRoutineRefusesLengthsThatDoNotFit) {
  const SliceKernelTable& table = slice_kernels(GetParam());
  const std::vector<float> a(40, 1.0f), b(40, 2.0f);
  std::vector<float> out(40, -5.0f);
  EXPECT_FALSE(table.add_f32(a.data(), 3, b.data(), 4, out.data(), 40));
  EXPECT_FALSE(table.mul_f32(a.data(), 20, b.data(), 20, out.data(), 19));
  for (float v : out) ASSERT_EQ(v, -5.0f);
  // A longer output is fine: only len(a) elements are written.
  EXPECT_TRUE(table.sub_f32(a.data(), 33, b.data(), 33, out.data(), 40));
  for (std::size_t i = 0; i < 40; ++i) ASSERT_EQ(out[i], i < 33 ? -1.0f : -5.0f) << i;
}

INSTANTIATE_TEST_SUITE_P(AllTiers, ElementwiseSliceTest, ::testing::ValuesIn(all_tiers), TierName());

}  // namespace
}  // namespace kavo_ops::test_support
