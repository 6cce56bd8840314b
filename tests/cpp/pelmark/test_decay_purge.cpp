// The decay pass over a private arena: what it gives back and what it must
// leave alone.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "pelmark/block_release.h"
#include "pelmark/page_reclaim.h"
#include "pelmark/purge_pass.h"
#include "pelmark/thread_heap.h"
#include "private_arena.h"

namespace pelmark {
namespace {

using pelmark_test::kArenaMapping;
using pelmark_test::PrivateArena;

// Blocks of a thread that has exited; they span several segments.
std::vector<void*> blocks_left_by_exited_thread(Arena& arena, std::size_t count) {
  std::vector<void*> blocks;
  std::thread([&] {
    ThreadHeap heap(arena);
    for (std::size_t i = 0; i < count; ++i) blocks.push_back(heap.allocate(1024, 16));
  }).join();
  return blocks;
}

std::uint64_t distinct_segments(const std::vector<void*>& blocks) {
  std::vector<SegmentHeader*> seen;
  for (void* block : blocks) {
    if (std::find(seen.begin(), seen.end(), segment_of(block)) == seen.end()) seen.push_back(segment_of(block));
  }
  return seen.size();
}

struct AbandonedCase {
  const char* name;
  std::uint32_t max_retained_segments;
};

TEST(DecayPurge, ReleasesAbandonedSegmentsWithoutLiveBlocks) {
  // Retention on or off: empty segments end up unmapped either way.
  for (const AbandonedCase c : {AbandonedCase{"retention", 1024}, AbandonedCase{"no retention", 0}}) {
    PrivateArena fixture(c.max_retained_segments);
    std::vector<void*> blocks = blocks_left_by_exited_thread(*fixture.arena, 5000);
    const std::uint64_t segments = distinct_segments(blocks);
    ASSERT_GE(segments, 3u) << c.name;
    ASSERT_EQ(fixture.arena->abandoned_segment_count(), segments) << c.name;

    // Every block but one freed by others: only its segment still holds one.
    void* kept = blocks.front();
    for (std::size_t i = 1; i < blocks.size(); ++i) deallocate_block(nullptr, blocks[i]);
    purge_pass(*fixture.arena);
    EXPECT_EQ(fixture.arena->abandoned_segment_count(), 1u) << c.name;
    EXPECT_EQ(fixture.arena->retained_segment_count(), 0u) << c.name;
    EXPECT_EQ(fixture.stats().bytes_mapped, kArenaMapping) << c.name;
    const PageRecord& kept_page = segment_of(kept)->pages[page_slot_of(kept)];
    EXPECT_EQ(kept_page.used, 1u) << c.name;  // its remote frees were taken
    EXPECT_FALSE(has_remote_frees(kept_page)) << c.name;

    // The kept segment is still adoptable, and a later pass releases it.
    deallocate_block(nullptr, kept);
    purge_pass(*fixture.arena);
    EXPECT_EQ(fixture.arena->abandoned_segment_count(), 0u) << c.name;
    EXPECT_EQ(fixture.stats().bytes_mapped, 0u) << c.name;
  }
}

TEST(DecayPurge, RefusedUnmapsKeepSegmentsRetained) {
  PrivateArena fixture;
  std::vector<void*> blocks = blocks_left_by_exited_thread(*fixture.arena, 3000);
  const std::uint64_t segments = distinct_segments(blocks);
  for (void* block : blocks) deallocate_block(nullptr, block);
  fixture.memory.refuse_unmaps = true;
  purge_pass(*fixture.arena);
  EXPECT_EQ(fixture.arena->abandoned_segment_count(), 0u);
  EXPECT_EQ(fixture.arena->retained_segment_count(), segments);
  EXPECT_EQ(fixture.stats().bytes_mapped, segments * kArenaMapping);
  fixture.memory.refuse_unmaps = false;
  purge_pass(*fixture.arena);
  EXPECT_EQ(fixture.arena->retained_segment_count(), 0u);
  EXPECT_EQ(fixture.stats().bytes_mapped, 0u);
}

TEST(DecayPurge, UnmapsCachedHugeMappingsButNotLiveOnes) {
  PrivateArena fixture;
  void* live = fixture.arena->huge_allocate(3 << 20, 64);
  void* cached_small = fixture.arena->huge_allocate(3 << 20, 64);
  void* cached_large = fixture.arena->huge_allocate(9 << 20, 64);
  ASSERT_TRUE(live && cached_small && cached_large);
  const std::uint64_t live_mapping = segment_of(live)->huge_mapping_size;
  release_huge_block(cached_small);
  release_huge_block(cached_large);
  ASSERT_EQ(fixture.arena->cached_huge_count(), 2u);
  purge_pass(*fixture.arena);
  EXPECT_EQ(fixture.arena->cached_huge_count(), 0u);
  EXPECT_EQ(fixture.arena->cached_huge_bytes(), 0u);
  EXPECT_EQ(fixture.stats().bytes_mapped, live_mapping);
  release_huge_block(live);
  purge_pass(*fixture.arena);
  EXPECT_EQ(fixture.stats().bytes_mapped, 0u);
}

TEST(DecayPurge, LeavesSegmentsOwnedByHeapsAlone) {
  PrivateArena fixture;
  ThreadHeap heap(*fixture.arena);
  std::vector<void*> blocks;
  for (int i = 0; i < 3000; ++i) blocks.push_back(heap.allocate(1024, 16));
  // Freed by another thread: the owner has not reclaimed them yet.
  std::thread([&] {
    for (void* block : blocks) deallocate_block(nullptr, block);
  }).join();
  const std::uint64_t mapped = fixture.stats().bytes_mapped;
  purge_pass(*fixture.arena);
  EXPECT_EQ(fixture.stats().bytes_mapped, mapped);
  EXPECT_TRUE(has_remote_frees(segment_of(blocks.back())->pages[page_slot_of(blocks.back())]));
  // The owner still finds its state intact.
  heap.collect();
  void* again = heap.allocate(1024, 16);
  deallocate_block(&heap, again);
}

TEST(DecayPurge, RacesWithThreadsThatExitAndAdopt) {
  // Threads leave half their blocks live at exit, later threads adopt the
  // abandoned segments, a third party frees the rest, and passes run all the
  // while. Any double ownership shows up as a trap or a wrong final count.
  PrivateArena fixture;
  std::atomic<bool> stop{false};
  std::thread purger([&] {
    while (!stop.load()) purge_pass(*fixture.arena);
  });
  std::mutex left_mutex;
  std::vector<void*> left;
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([&] {
      for (int round = 0; round < 20; ++round) {
        std::thread([&] {
          ThreadHeap heap(*fixture.arena);
          std::vector<void*> mine;
          for (int i = 0; i < 400; ++i) mine.push_back(heap.allocate(64 + (i % 8) * 128, 16));
          std::lock_guard lock(left_mutex);
          for (std::size_t i = 0; i < mine.size(); ++i) {
            if (i % 2 == 0) deallocate_block(&heap, mine[i]); else left.push_back(mine[i]);
          }
        }).join();
        std::vector<void*> to_free;
        {
          std::lock_guard lock(left_mutex);
          to_free.swap(left);
        }
        for (void* block : to_free) deallocate_block(nullptr, block);
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
  stop = true;
  purger.join();
  for (void* block : left) deallocate_block(nullptr, block);
  purge_pass(*fixture.arena);
  EXPECT_EQ(fixture.arena->abandoned_segment_count(), 0u);
  EXPECT_EQ(fixture.arena->retained_segment_count(), 0u);
  EXPECT_EQ(fixture.stats().bytes_mapped, 0u);
}

}  // namespace
}  // namespace pelmark
