// The profiler's hashes and countdown draws against values computed by hand
// (outside this code), and the draw's bounds.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "pelmark/profiler/countdown_draw.h"
#include "pelmark/profiler/profiler_hashes.h"
#include "pelmark/profiler/stack_id.h"

namespace pelmark::profiler {
namespace {

TEST(ProfilerHashes, MatchHandComputedValues) {
  EXPECT_EQ(fmix(0), 0u);
  EXPECT_EQ(fmix(1), 0x5692161d100b05e5u);
  EXPECT_EQ(fmix(0x1000), 0xf06041805d06b780u);
  EXPECT_EQ(fmix(0xdeadbeef), 0x4e062702ec929eeau);

  EXPECT_EQ(address_hash(0x40), 0x161ee22544697a4fu);
  EXPECT_EQ(address_hash(0x7f0000001040), 0x7e5d86c570b0f239u);

  const std::uintptr_t one[] = {0x401000};
  const std::uintptr_t two[] = {0x401000, 0x7fff12345678};
  const std::uintptr_t swapped[] = {0x7fff12345678, 0x401000};
  EXPECT_EQ(stack_hash(one), 0xd9373f950b96f919u);
  EXPECT_EQ(stack_hash(two), 0x88d970693a9851c6u);
  EXPECT_EQ(stack_hash(swapped), 0xc784713fd3fe8186u);
}

TEST(ProfilerHashes, StackIdSplitsShardAndSlot) {
  const StackId id = make_stack_id(63, kStackSlotLimit - 1);
  EXPECT_EQ(id, 0xffffffffu);
  EXPECT_EQ(stack_id_shard(make_stack_id(5, 7)), 5u);
  EXPECT_EQ(stack_id_slot(make_stack_id(5, 7)), 7u);
}

struct DrawCase {
  std::uint64_t state;
  std::uint64_t interval;
  std::uint64_t next_state;
  std::uint64_t countdown;
};

// The first case's u is below 1e-9, so it also covers the clamp of u.
const DrawCase kDrawCases[] = {
    {1, 524288, 0x40822041, 10864959},
    {0x123456789abcdef, 1000, 0x3f2800d6569e01b4, 1399},
};

TEST(CountdownDraw, IsDeterminedByTheGeneratorState) {
  for (const DrawCase& c : kDrawCases) {
    std::uint64_t generator = c.state;
    EXPECT_EQ(draw_countdown(generator, c.interval), c.countdown) << c.state;
    EXPECT_EQ(generator, c.next_state);
    std::uint64_t again = c.state;
    EXPECT_EQ(draw_countdown(again, c.interval), c.countdown);
  }
}

TEST(CountdownDraw, StaysWithinItsBoundsAndAveragesTheInterval) {
  constexpr std::uint64_t kInterval = 4096;
  // -ln(1e-9) is the largest factor a draw can have.
  const double ceiling = -std::log(1e-9) * kInterval;
  std::uint64_t generator = 0x9e3779b97f4a7c15u;
  double sum = 0;
  constexpr int kDraws = 100000;
  for (int i = 0; i < kDraws; ++i) {
    const std::uint64_t draw = draw_countdown(generator, kInterval);
    ASSERT_LE(static_cast<double>(draw), ceiling);
    sum += static_cast<double>(draw);
  }
  EXPECT_NEAR(sum / kDraws, kInterval, kInterval * 0.02);

  std::uint64_t zero_interval = 12345;
  EXPECT_EQ(draw_countdown(zero_interval, 0), 0u);
}

TEST(CountdownDraw, HugeDrawsSaturate) {
  std::uint64_t generator = 1;  // u below 1e-9: about 20.7 intervals
  const std::uint64_t draw = draw_countdown(generator, UINT64_MAX);
  EXPECT_EQ(draw, UINT64_MAX);
  EXPECT_EQ(countdown_from_draw(draw), INT64_MAX);
  EXPECT_EQ(countdown_from_draw(std::uint64_t{INT64_MAX}), INT64_MAX);
  EXPECT_EQ(countdown_from_draw(77), 77);
  EXPECT_EQ(countdown_after(INT64_MIN + 5, 10), INT64_MIN);
  EXPECT_EQ(countdown_after(5, 10), -5);
}

TEST(CountdownDraw, UnseededGeneratorIsSeeded) {
  std::uint64_t generator = 0;
  (void)draw_countdown(generator, 100);
  EXPECT_NE(generator, 0u);
}

}  // namespace
}  // namespace pelmark::profiler
