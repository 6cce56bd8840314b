// The stack interner and the recorder over instances of their own, so that
// each case starts from empty tables.

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "pelmark/profiler/allocation_recorder.h"
#include "pelmark/profiler/leak_report.h"
#include "pelmark/profiler/live_table.h"
#include "pelmark/profiler/profiler_hashes.h"
#include "pelmark/profiler/stack_interner.h"

namespace pelmark::profiler {
namespace {

constexpr RecordingMode kLeakDetector{true, 0};

std::vector<std::uintptr_t> fake_stack(std::uintptr_t seed, std::size_t depth = 3) {
  std::vector<std::uintptr_t> frames;
  for (std::size_t i = 0; i < depth; ++i) frames.push_back(0x400000 + seed * 0x100 + i * 8);
  return frames;
}

std::optional<StackId> stack_of(const LiveTable& live, std::uintptr_t address) {
  std::optional<StackId> found;
  live.visit_shard(LiveTable::shard_of(address), [&](std::uintptr_t a, const LiveRecord& record) {
    if (a == address) found = record.stack;
  });
  return found;
}

bool any_shard_has_records(const LiveTable& live) {
  for (std::uint32_t shard = 0; shard < LiveTable::kShardCount; ++shard) {
    if (live.shard_has_records(shard)) return true;
  }
  return false;
}

TEST(StackInterner, CountsReferencesAndFreesTheSlotWithTheLast) {
  StackInterner interner;
  const auto frames = fake_stack(1);
  const StackId id = interner.intern(frames);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(interner.intern(frames), id);
  ASSERT_TRUE(interner.find(id).has_value());
  EXPECT_EQ(interner.find(id)->reference_count, 5u);
  EXPECT_EQ(interner.find(id)->frames, frames);
  EXPECT_EQ(stack_id_shard(id), stack_hash(frames) % kStackShardCount);

  for (int i = 0; i < 4; ++i) interner.release(id);
  EXPECT_EQ(interner.find(id)->reference_count, 1u);
  interner.release(id);
  EXPECT_FALSE(interner.find(id).has_value());
  EXPECT_EQ(interner.stack_count(), 0u);
  EXPECT_EQ(interner.free_slots(stack_id_shard(id)), std::vector<std::uint32_t>{stack_id_slot(id)});

  interner.release(id);  // names nothing now: ignored
  interner.release(make_stack_id(9, 12345));
  EXPECT_EQ(interner.stack_count(), 0u);
}

// Finds `count` distinct stacks whose hashes pick the same shard.
std::vector<std::vector<std::uintptr_t>> stacks_in_one_shard(std::size_t count) {
  std::vector<std::vector<std::uintptr_t>> found;
  const auto first = fake_stack(0);
  const std::uint64_t shard = stack_hash(first) % kStackShardCount;
  found.push_back(first);
  for (std::uintptr_t seed = 1; found.size() < count; ++seed) {
    auto frames = fake_stack(seed);
    if (stack_hash(frames) % kStackShardCount == shard) found.push_back(frames);
  }
  return found;
}

TEST(StackInterner, StacksOfOneShardShareTheShardBitsAndReuseFreedSlotsLastFirst) {
  StackInterner interner;
  const auto stacks = stacks_in_one_shard(5);
  std::vector<StackId> ids;
  for (std::size_t i = 0; i < 4; ++i) ids.push_back(interner.intern(stacks[i]));
  for (std::size_t i = 1; i < ids.size(); ++i) {
    EXPECT_EQ(stack_id_shard(ids[i]), stack_id_shard(ids[0]));
    EXPECT_NE(stack_id_slot(ids[i]), stack_id_slot(ids[i - 1]));
  }
  interner.release(ids[1]);
  interner.release(ids[2]);
  EXPECT_EQ(interner.free_slots(stack_id_shard(ids[0])),
            (std::vector<std::uint32_t>{stack_id_slot(ids[1]), stack_id_slot(ids[2])}));
  EXPECT_EQ(interner.intern(stacks[4]), ids[2]) << "the last freed slot is reused first";
  // The survivors still resolve to their own frames.
  EXPECT_EQ(interner.find(ids[0])->frames, stacks[0]);
  EXPECT_EQ(interner.find(ids[3])->frames, stacks[3]);
}

TEST(StackInterner, ConcurrentInternAndReleaseBalance) {
  StackInterner interner;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&interner, t] {
      for (int round = 0; round < 2000; ++round) {
        // Half the stacks are shared between the threads, half their own.
        const auto frames = fake_stack(round % 2 == 0 ? round % 16 : 1000 + t * 100 + round % 16);
        const StackId id = interner.intern(frames);
        EXPECT_EQ(interner.find(id).value_or(InternedStack{}).frames, frames);
        interner.release(id);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(interner.stack_count(), 0u);
}

class Recorder : public ::testing::Test {
 protected:
  StackInterner interner;
  LiveTable live;
  AllocationRecorder recorder{interner, live};
  ThreadProfilerState state;
};

[[gnu::noipa]] void record_through_one_chain(AllocationRecorder& recorder, ThreadProfilerState& state,
                                                std::uintptr_t address, std::size_t size) {
  recorder.record(address, size, state, kLeakDetector);
  asm volatile("" ::: "memory");
}

TEST_F(Recorder, LeakDetectorRecordsEveryAllocationAndFreesLeaveNothing) {
  constexpr int kBlocks = 200;
  std::vector<std::uintptr_t> addresses;
  for (int i = 0; i < kBlocks; ++i) addresses.push_back(0x10000 + static_cast<std::uintptr_t>(i) * 0x40);
  for (std::uintptr_t address : addresses) record_through_one_chain(recorder, state, address, address & 0xfff);

  const auto records = snapshot_live_allocations(live, interner);
  ASSERT_EQ(records.size(), static_cast<std::size_t>(kBlocks));
  ASSERT_EQ(interner.stack_count(), 1u);
  const StackId id = stack_of(live, addresses[0]).value();
  EXPECT_EQ(interner.find(id)->reference_count, static_cast<std::uint64_t>(kBlocks));
  for (const LiveAllocation& record : records) {
    EXPECT_EQ(record.requested_size, record.address & 0xfff);
    EXPECT_EQ(record.frames, interner.find(id)->frames);
  }
  EXPECT_EQ(state.countdown, 0);
  EXPECT_EQ(state.generator, 0u);

  for (std::uintptr_t address : addresses) recorder.forget(address, state);
  EXPECT_EQ(live.record_count(), 0u);
  EXPECT_FALSE(any_shard_has_records(live));
  EXPECT_EQ(interner.stack_count(), 0u);
  EXPECT_EQ(interner.free_slots(stack_id_shard(id)), std::vector<std::uint32_t>{stack_id_slot(id)});
  EXPECT_FALSE(state.in_profiler);
}

TEST_F(Recorder, AnAddressRecordedAgainKeepsTheLaterRecord) {
  const std::uintptr_t address = 0x7000;
  const auto earlier_chain = [&] { recorder.record(address, 10, state, kLeakDetector); };
  const auto other = [&] { recorder.record(0x9000, 30, state, kLeakDetector); };
  earlier_chain();
  other();  // a second record from another call site
  const StackId earlier = stack_of(live, address).value();
  record_through_one_chain(recorder, state, address, 20);

  const auto records = snapshot_live_allocations(live, interner);
  ASSERT_EQ(records.size(), 2u);
  const StackId later = stack_of(live, address).value();
  EXPECT_NE(later, earlier);
  EXPECT_FALSE(interner.find(earlier).has_value()) << "the earlier stack lost its only reference";
  for (const LiveAllocation& record : records) {
    if (record.address == address) {
      EXPECT_EQ(record.requested_size, 20u);
    }
  }
}

TEST_F(Recorder, ForgettingUnknownOrReentrantAddressesChangesNothing) {
  record_through_one_chain(recorder, state, 0x5000, 8);
  recorder.forget(0x5040, state);  // another shard, no records
  recorder.forget(0x5000 + 64 * 64, state);  // same shard, other address
  state.in_profiler = true;
  recorder.forget(0x5000, state);
  recorder.record(0x6000, 8, state, kLeakDetector);
  state.in_profiler = false;
  EXPECT_EQ(live.record_count(), 1u);
  EXPECT_TRUE(live.shard_has_records(LiveTable::shard_of(0x5000)));
}

TEST_F(Recorder, SamplingCountsDownAndRecordsWhenTheCountdownRunsOut) {
  const RecordingMode sampling{false, 1000};
  // Starting at 0: the first allocation is always sampled.
  recorder.record(0x1000, 100, state, sampling);
  EXPECT_EQ(live.record_count(), 1u);
  state.countdown = 1000;
  state.generator = 0x123456789abcdef;
  recorder.record(0x2000, 100, state, sampling);
  EXPECT_EQ(state.countdown, 900);
  EXPECT_EQ(live.record_count(), 1u);
  // Not strictly above: sampled; the new draw (1399) less this allocation.
  recorder.record(0x3000, 900, state, sampling);
  EXPECT_EQ(live.record_count(), 2u);
  EXPECT_EQ(state.countdown, 1399 - 900);
  EXPECT_EQ(state.generator, 0x3f2800d6569e01b4u);

  const RecordingMode every{false, 0};
  state.countdown = 0;
  for (std::uintptr_t i = 0; i < 50; ++i) recorder.record(0x100000 + i * 64, 1, state, every);
  EXPECT_EQ(live.record_count(), 52u);
}

// Recursion that cannot become a loop (the asm consumes each level's
// result) nor be cloned per depth (noipa).
[[gnu::noipa]] int descend(AllocationRecorder& recorder, ThreadProfilerState& state, int depth,
                              std::uintptr_t address) {
  if (depth == 0) {
    recorder.record(address, 1, state, kLeakDetector);
    return 0;
  }
  int result = descend(recorder, state, depth - 1, address);
  asm volatile("" : "+r"(result));
  return result + 1;
}

TEST_F(Recorder, DeepChainsKeepTheirInnermost32Frames) {
  descend(recorder, state, 40, 0x1000);
  descend(recorder, state, 100, 0x2000);
  descend(recorder, state, 3, 0x3000);
  const StackId at_40 = stack_of(live, 0x1000).value();
  const StackId at_100 = stack_of(live, 0x2000).value();
  const StackId at_3 = stack_of(live, 0x3000).value();
  EXPECT_EQ(at_40, at_100) << "both hold the same innermost 32 frames";
  EXPECT_EQ(interner.find(at_40)->reference_count, 2u);
  const auto deep = interner.find(at_40)->frames;
  ASSERT_EQ(deep.size(), kMaxStackFrames);
  // Capture point, recorder, the innermost level, then the recursive call
  // site's return address over and over.
  for (std::size_t i = 4; i < deep.size(); ++i) EXPECT_EQ(deep[i], deep[3]);
  EXPECT_NE(deep[2], deep[3]);
  const auto shallow = interner.find(at_3)->frames;
  ASSERT_GT(shallow.size(), 6u);
  ASSERT_LT(shallow.size(), kMaxStackFrames);
  EXPECT_TRUE(std::equal(shallow.begin(), shallow.begin() + 6, deep.begin()));
}

}  // namespace
}  // namespace pelmark::profiler
