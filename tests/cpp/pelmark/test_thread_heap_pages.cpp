// Page-level behaviour of a thread heap over a private arena. Several heaps
// on one test thread stand for several threads: a heap frees locally only
// blocks of segments it owns, so freeing through another heap takes the
// remote path exactly as another thread would.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <vector>

#include "pelmark/block_release.h"
#include "pelmark/thread_heap.h"
#include "private_arena.h"

namespace pelmark {
namespace {

using pelmark_test::PrivateArena;

const PageRecord& page_of(const void* block) { return segment_of(block)->pages[page_slot_of(block)]; }

std::uintptr_t page_address(const void* block) {
  return reinterpret_cast<std::uintptr_t>(block) & ~(std::uintptr_t{kPageSize} - 1);
}

TEST(ThreadHeapPages, SixtyFiveKibBlocksFillOnePageAndStartASecond) {
  PrivateArena fixture;
  ThreadHeap heap(*fixture.arena);
  std::vector<void*> blocks;
  for (int i = 0; i < 65; ++i) blocks.push_back(heap.allocate(1024, 16));

  const std::uintptr_t first_page = page_address(blocks[0]);
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(page_address(blocks[i]), first_page) << i;
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(blocks[i]) - first_page, std::uintptr_t(i) * 1024);
  }
  EXPECT_NE(page_address(blocks[64]), first_page);
  for (const void* block : {blocks[0], blocks[64]}) {
    EXPECT_EQ(page_of(block).size_class, 23);
    EXPECT_EQ(page_of(block).block_size, 1024u);
  }
  EXPECT_EQ(page_of(blocks[0]).used, 64u);
  EXPECT_EQ(page_of(blocks[64]).used, 1u);
  EXPECT_EQ(heap.counters().pages_initialised, 2u);
  EXPECT_EQ(fixture.stats().map_calls, 1u);
  for (void* block : blocks) deallocate_block(&heap, block);
}

TEST(ThreadHeapPages, LocalFreesAreReusedMostRecentFirst) {
  PrivateArena fixture;
  ThreadHeap heap(*fixture.arena);
  void* a = heap.allocate(100, 16);
  void* b = heap.allocate(100, 16);
  deallocate_block(&heap, a);
  deallocate_block(&heap, b);
  EXPECT_EQ(page_of(a).used, 0u);
  EXPECT_EQ(heap.allocate(100, 16), b);
  EXPECT_EQ(heap.allocate(100, 16), a);
  EXPECT_EQ(page_of(a).used, 2u);
  deallocate_block(&heap, a);
  deallocate_block(&heap, b);
}

TEST(ThreadHeapPages, RemoteFreesStayInvisibleUntilTheOwnerReclaims) {
  PrivateArena fixture;
  ThreadHeap owner(*fixture.arena);
  ThreadHeap other(*fixture.arena);
  std::vector<void*> blocks;
  for (int i = 0; i < 10; ++i) blocks.push_back(owner.allocate(1024, 16));
  const PageRecord& page = page_of(blocks[0]);

  const std::set<void*> remote = {blocks[2], blocks[5], blocks[7]};
  for (void* block : remote) deallocate_block(&other, block);
  EXPECT_EQ(page.used, 10u);

  // While the page has untouched room, new blocks come from there.
  std::vector<void*> later;
  for (int i = 10; i < 64; ++i) {
    void* block = owner.allocate(1024, 16);
    EXPECT_EQ(remote.count(block), 0u);
    later.push_back(block);
  }
  EXPECT_EQ(page.used, 64u);
  EXPECT_EQ(owner.counters().blocks_reclaimed, 0u);

  // The page is exhausted: the slow path takes the remote frees back.
  void* reused = owner.allocate(1024, 16);
  EXPECT_EQ(remote.count(reused), 1u);
  EXPECT_EQ(owner.counters().blocks_reclaimed, 3u);
  EXPECT_EQ(page.used, 64u - 3u + 1u);
  EXPECT_EQ(page.remote_free.load(), 0u);

  deallocate_block(&owner, reused);
  for (void* block : blocks) {
    if (remote.count(block) == 0) deallocate_block(&owner, block);
  }
  for (void* block : later) deallocate_block(&owner, block);
  EXPECT_EQ(page.used, 0u);
}

TEST(ThreadHeapPages, FullPageWithRemoteFreesIsFoundAgain) {
  PrivateArena fixture;
  ThreadHeap owner(*fixture.arena);
  ThreadHeap other(*fixture.arena);
  // Two full pages of 16 KiB blocks; the first goes to the full list.
  std::vector<void*> blocks;
  for (int i = 0; i < 8; ++i) blocks.push_back(owner.allocate(16384, 16));
  const PageRecord& first = page_of(blocks[0]);
  EXPECT_EQ(first.list_state, ListState::kFull);
  deallocate_block(&other, blocks[1]);
  // The next request exhausts the second page's list walk and then finds the
  // remote free on the full page instead of carving a third page.
  void* block = owner.allocate(16384, 16);
  EXPECT_EQ(block, blocks[1]);
  EXPECT_EQ(owner.counters().pages_initialised, 2u);
  blocks[1] = block;
  for (void* b : blocks) deallocate_block(&owner, b);
}

TEST(ThreadHeapPages, CollectGivesEmptySegmentsBackButKeepsThree) {
  PrivateArena fixture;
  ThreadHeap heap(*fixture.arena);
  // 31 pages of four 16 KiB blocks fill a segment; take five segments.
  constexpr int kBlocksPerSegment = 31 * 4;
  std::vector<void*> blocks;
  for (int i = 0; i < 5 * kBlocksPerSegment; ++i) blocks.push_back(heap.allocate(16384, 64));
  EXPECT_EQ(heap.owned_segment_count(), 5u);
  EXPECT_EQ(fixture.stats().bytes_mapped, 5 * pelmark_test::kArenaMapping);

  for (void* block : blocks) deallocate_block(&heap, block);
  heap.collect();
  EXPECT_EQ(heap.owned_segment_count(), ThreadHeap::kKeptSegments - 1);
  EXPECT_EQ(fixture.arena->retained_segment_count(), 5u - (ThreadHeap::kKeptSegments - 1));

  // Kept and retained segments serve the same demand again without mapping.
  for (void*& block : blocks) block = heap.allocate(16384, 64);
  EXPECT_EQ(fixture.stats().map_calls, 5u);
  EXPECT_EQ(heap.counters().segments_reused, 5u - (ThreadHeap::kKeptSegments - 1));
  for (void* block : blocks) deallocate_block(&heap, block);
}

TEST(ThreadHeapPages, EmptyPagesAreReusedForOtherClasses) {
  PrivateArena fixture;
  ThreadHeap heap(*fixture.arena);
  // Fill two segments with 16 KiB blocks, free the first segment's blocks:
  // its pages go to the empty list and serve a new class.
  constexpr int kBlocksPerSegment = 31 * 4;
  std::vector<void*> blocks;
  for (int i = 0; i < 2 * kBlocksPerSegment; ++i) blocks.push_back(heap.allocate(16384, 16));
  SegmentHeader* first_segment = segment_of(blocks[0]);
  for (int i = 0; i < kBlocksPerSegment - 4; ++i) deallocate_block(&heap, blocks[i]);
  const std::uint64_t pages_before = heap.counters().pages_initialised;

  void* small = heap.allocate(48, 16);
  EXPECT_EQ(segment_of(small), first_segment);
  EXPECT_EQ(page_of(small).block_size, 48u);
  EXPECT_EQ(heap.counters().pages_initialised, pages_before + 1);
  deallocate_block(&heap, small);
  for (int i = kBlocksPerSegment - 4; i < 2 * kBlocksPerSegment; ++i) deallocate_block(&heap, blocks[i]);
}

TEST(ThreadHeapPages, ClassesHonourTheRequestedAlignment) {
  PrivateArena fixture;
  ThreadHeap heap(*fixture.arena);
  for (std::size_t alignment : {16, 32, 64, 128, 1024, 4096, 16384, 32768, 65536, 1 << 20}) {
    for (std::size_t size : {1, 200, 5000, 16320}) {
      void* block = heap.allocate(size, alignment);
      ASSERT_NE(block, nullptr);
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % alignment, 0u) << size << " @ " << alignment;
      EXPECT_GE(usable_size(block), size);
      deallocate_block(&heap, block);
    }
  }
  EXPECT_EQ(heap.allocate(64, 48), nullptr);
  EXPECT_EQ(heap.allocate(64, 0), nullptr);
  EXPECT_EQ(heap.allocate(64, std::size_t{2} << 20), nullptr);
}

class ThreadHeapDeathTest : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(ThreadHeapDeathTest, LocalDoubleFreeStopsTheProcess) {
  EXPECT_DEATH(
      {
        PrivateArena fixture;
        ThreadHeap heap(*fixture.arena);
        void* keep = heap.allocate(64, 16);
        void* block = heap.allocate(64, 16);
        deallocate_block(&heap, block);
        deallocate_block(&heap, block);
        deallocate_block(&heap, keep);
      },
      "");
}

TEST_F(ThreadHeapDeathTest, DoubleFreeOfTheLastBlockOfAPageStopsTheProcess) {
  EXPECT_DEATH(
      {
        PrivateArena fixture;
        ThreadHeap heap(*fixture.arena);
        void* block = heap.allocate(64, 16);
        deallocate_block(&heap, block);
        deallocate_block(&heap, block);
      },
      "");
}

TEST_F(ThreadHeapDeathTest, RemoteDoubleFreeStopsTheProcess) {
  EXPECT_DEATH(
      {
        PrivateArena fixture;
        ThreadHeap owner(*fixture.arena);
        ThreadHeap other(*fixture.arena);
        void* block = owner.allocate(64, 16);
        deallocate_block(&other, block);
        deallocate_block(&other, block);
      },
      "");
}

TEST_F(ThreadHeapDeathTest, CorruptedFreeListStopsTheProcess) {
  EXPECT_DEATH(
      {
        PrivateArena fixture;
        ThreadHeap heap(*fixture.arena);
        void* keep = heap.allocate(64, 16);
        void* block = heap.allocate(64, 16);
        deallocate_block(&heap, block);
        *static_cast<std::uintptr_t*>(block) = 0x1234568;  // a use after free
        heap.allocate(64, 16);
        heap.allocate(64, 16);
        deallocate_block(&heap, keep);
      },
      "");
}

}  // namespace
}  // namespace pelmark
