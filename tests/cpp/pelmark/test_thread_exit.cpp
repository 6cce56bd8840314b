// Thread exit with a private arena: each std::thread builds its own heap and
// destroys it when it ends, which is what the process-wide thread-local heap
// does at thread exit.

#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "pelmark/block_release.h"
#include "pelmark/thread_heap.h"
#include "private_arena.h"

namespace pelmark {
namespace {

using pelmark_test::PrivateArena;

const PageRecord& page_of(const void* block) { return segment_of(block)->pages[page_slot_of(block)]; }

TEST(ThreadExit, LiveBlocksLeaveAnAbandonedSegmentThatANewThreadAdopts) {
  PrivateArena fixture;
  void* kept = nullptr;
  void* freed_while_abandoned = nullptr;
  std::thread([&] {
    ThreadHeap heap(*fixture.arena);
    kept = heap.allocate(1024, 16);
    freed_while_abandoned = heap.allocate(1024, 16);
    void* freed_before_exit = heap.allocate(1024, 16);
    deallocate_block(&heap, freed_before_exit);
  }).join();
  EXPECT_EQ(fixture.arena->abandoned_segment_count(), 1u);
  EXPECT_EQ(fixture.arena->retained_segment_count(), 0u);
  EXPECT_EQ(segment_of(kept)->owner_heap.load(), nullptr);

  // With no owner, every free takes the remote path.
  deallocate_block(nullptr, freed_while_abandoned);
  EXPECT_EQ(page_of(kept).used, 2u);

  std::thread([&] {
    ThreadHeap heap(*fixture.arena);
    void* block = heap.allocate(1024, 16);
    EXPECT_EQ(heap.counters().segments_adopted, 1u);
    EXPECT_EQ(segment_of(block), segment_of(kept));
    EXPECT_EQ(heap.counters().blocks_reclaimed, 1u);
    EXPECT_EQ(page_of(kept).used, 2u);  // kept and the new block
    EXPECT_EQ(fixture.arena->abandoned_segment_count(), 0u);
    // The adopter owns the segment: the old block is a local free now.
    deallocate_block(&heap, kept);
    deallocate_block(&heap, block);
    EXPECT_EQ(page_of(kept).used, 0u);
  }).join();
  // The adopter left nothing live: the segment is retained, not abandoned.
  EXPECT_EQ(fixture.arena->abandoned_segment_count(), 0u);
  EXPECT_EQ(fixture.arena->retained_segment_count(), 1u);
  EXPECT_EQ(fixture.stats().map_calls, 1u);
}

TEST(ThreadExit, RemoteFreesBeforeExitLetTheSegmentBeRetained) {
  // Whether a segment is abandoned depends on the remote frees reclaimed at
  // exit: all blocks freed by others -> retained; one left -> abandoned.
  for (const bool leave_one : {false, true}) {
    PrivateArena fixture;
    std::vector<void*> blocks;
    std::thread([&] {
      ThreadHeap heap(*fixture.arena);
      for (int i = 0; i < 100; ++i) blocks.push_back(heap.allocate(256, 64));
      std::thread([&] {
        for (std::size_t i = leave_one ? 1 : 0; i < blocks.size(); ++i) deallocate_block(nullptr, blocks[i]);
      }).join();
    }).join();
    EXPECT_EQ(fixture.arena->abandoned_segment_count(), leave_one ? 1u : 0u);
    EXPECT_EQ(fixture.arena->retained_segment_count(), leave_one ? 0u : 1u);
    if (leave_one) deallocate_block(nullptr, blocks[0]);
  }
}

TEST(ThreadExit, ExitingThreadUnmapsWhenTheRetainedPoolIsFull) {
  PrivateArena fixture(0);
  std::thread([&] {
    ThreadHeap heap(*fixture.arena);
    deallocate_block(&heap, heap.allocate(64, 16));
  }).join();
  const auto stats = fixture.stats();
  EXPECT_EQ(stats.bytes_mapped, 0u);
  EXPECT_EQ(stats.release_calls, 1u);
}

}  // namespace
}  // namespace pelmark
