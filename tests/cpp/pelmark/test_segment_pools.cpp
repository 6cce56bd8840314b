#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "pelmark/arena.h"
#include "pelmark/block_release.h"
#include "pelmark/settings.h"
#include "pelmark/thread_heap.h"
#include "private_arena.h"

namespace pelmark {
namespace {

using pelmark_test::kArenaMapping;
using pelmark_test::PrivateArena;

TEST(SegmentPools, FreshSegmentKeepsOnlyItsAlignedTwoMib) {
  PrivateArena fixture;
  const AcquiredSegment acquired = fixture.arena->acquire_segment();
  ASSERT_EQ(acquired.origin, SegmentOrigin::kFresh);
  SegmentHeader* segment = acquired.segment;
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(segment) % kSegmentSize, 0u);
  const auto base = reinterpret_cast<std::uintptr_t>(segment->mapping_base);
  EXPECT_LT(reinterpret_cast<std::uintptr_t>(segment) - base, kSegmentSize);
  for (std::uint32_t slot = 0; slot < kPagesPerSegment; ++slot) EXPECT_EQ(segment->pages[slot].slot, slot);
  const auto stats = fixture.stats();
  EXPECT_EQ(stats.bytes_mapped, kArenaMapping);
  EXPECT_EQ(stats.peak_bytes_mapped, kArenaMapping);
  EXPECT_EQ(stats.bytes_decommitted, kArenaMapping - kSegmentSize);
  EXPECT_GE(stats.decommit_calls, 1u);
  fixture.arena->release_segment(segment);
}

TEST(SegmentPools, RetainedPoolStopsAtItsLimit) {
  const struct {
    std::uint32_t limit;
    int released;
    std::uint64_t retained;
  } cases[] = {{0, 1, 0}, {2, 1, 1}, {2, 2, 2}, {2, 3, 2}, {5000, 3, 3}};
  for (const auto& c : cases) {
    PrivateArena fixture(c.limit);
    std::vector<SegmentHeader*> segments;
    for (int i = 0; i < c.released; ++i) segments.push_back(fixture.arena->acquire_segment().segment);
    for (SegmentHeader* segment : segments) fixture.arena->release_segment(segment);
    const auto stats = fixture.stats();
    EXPECT_EQ(fixture.arena->retained_segment_count(), c.retained) << c.limit << "/" << c.released;
    EXPECT_EQ(stats.release_calls, c.released - c.retained) << c.limit << "/" << c.released;
    EXPECT_EQ(stats.bytes_mapped, c.retained * kArenaMapping) << c.limit << "/" << c.released;

    // Retained segments come back reset, without another mapping.
    if (c.retained != 0) {
      const AcquiredSegment again = fixture.arena->acquire_segment();
      EXPECT_EQ(again.origin, SegmentOrigin::kReused);
      EXPECT_EQ(fixture.stats().map_calls, static_cast<std::uint64_t>(c.released));
      fixture.arena->release_segment(again.segment);
    }
  }
}

TEST(SegmentPools, SettingsClampTheRetentionLimit) {
  SettingsRecord record(Settings{.max_retained_segments = 5000});
  EXPECT_EQ(record.max_retained_segments(), kMaxRetainedSegmentsLimit);
  EXPECT_EQ(SettingsRecord().load().max_retained_segments, 1024u);
  EXPECT_EQ(process_settings().max_retained_segments(), 1024u);
}

TEST(SegmentPools, RefusedUnmapKeepsTheSegmentInThePool) {
  PrivateArena fixture(0);
  SegmentHeader* segment = fixture.arena->acquire_segment().segment;
  fixture.memory.refuse_unmaps = true;
  fixture.arena->release_segment(segment);
  EXPECT_EQ(fixture.arena->retained_segment_count(), 1u);
  EXPECT_EQ(fixture.stats().bytes_mapped, kArenaMapping);
  fixture.memory.refuse_unmaps = false;
}

TEST(SegmentPools, RefusedMappingReleasesEverythingCachedAndRetriesOnce) {
  PrivateArena fixture;
  ThreadHeap heap(*fixture.arena);
  // A retained segment would have been taken before mapping; cached huge
  // mappings are what a refusal can free.
  release_huge_block(heap.allocate(100000, 64));
  release_huge_block(heap.allocate(5000000, 64));
  ASSERT_EQ(fixture.arena->cached_huge_count(), 2u);

  // First refusal: the cache goes, the retry maps.
  fixture.memory.refuse_maps = 1;
  const AcquiredSegment acquired = fixture.arena->acquire_segment();
  EXPECT_EQ(acquired.origin, SegmentOrigin::kFresh);
  EXPECT_EQ(fixture.arena->cached_huge_count(), 0u);
  EXPECT_EQ(fixture.stats().bytes_mapped, kArenaMapping);
  fixture.arena->release_segment(acquired.segment);
  fixture.arena->release_all_cached();
  EXPECT_EQ(fixture.stats().bytes_mapped, 0u);

  // Two refusals fail the segment; the heap falls back to the huge path.
  fixture.memory.refuse_maps = 2;
  void* block = heap.allocate(64, 16);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(segment_of(block)->huge_mapping_size, huge_mapping_size_for(64, 16));
  deallocate_block(&heap, block);

  // Three refusals leave nothing to serve the request.
  fixture.arena->release_all_cached();
  fixture.memory.refuse_maps = 3;
  EXPECT_EQ(heap.allocate(64, 16), nullptr);
}

TEST(SegmentPools, BytesMappedAfterReleasingTheCachesIsWhatIsStillInUse) {
  PrivateArena fixture;
  std::vector<void*> live_huge;
  std::uint64_t live_huge_bytes = 0;
  auto heap_a = std::make_unique<ThreadHeap>(*fixture.arena);
  auto heap_b = std::make_unique<ThreadHeap>(*fixture.arena);
  std::vector<void*> a_blocks, b_blocks;
  for (int i = 0; i < 700; ++i) a_blocks.push_back(heap_a->allocate(16384, 64));
  for (int i = 0; i < 50; ++i) b_blocks.push_back(heap_b->allocate(3000, 64));
  for (std::size_t size : {20000, 3000000, 9000000, 30000000}) {
    live_huge.push_back(heap_a->allocate(size, 64));
    live_huge_bytes += segment_of(live_huge.back())->huge_mapping_size;
    release_huge_block(heap_b->allocate(size + 1000, 64));  // cached or unmapped
  }
  // Free most of heap A's blocks and let it give segments back.
  for (std::size_t i = 100; i < a_blocks.size(); ++i) deallocate_block(heap_a.get(), a_blocks[i]);
  heap_a->collect();
  // Heap B exits with live blocks: its segment is abandoned.
  heap_b.reset();
  ASSERT_EQ(fixture.arena->abandoned_segment_count(), 1u);
  ASSERT_GT(fixture.arena->retained_segment_count(), 0u);

  fixture.arena->release_all_cached();
  EXPECT_EQ(fixture.arena->retained_segment_count(), 0u);
  EXPECT_EQ(fixture.arena->cached_huge_count(), 0u);
  const auto stats = fixture.stats();
  const std::uint64_t segments = heap_a->owned_segment_count() + fixture.arena->abandoned_segment_count();
  EXPECT_EQ(stats.bytes_mapped, segments * kArenaMapping + live_huge_bytes);
  EXPECT_GE(stats.peak_bytes_mapped, stats.bytes_mapped);
  EXPECT_EQ(stats.map_calls - stats.release_calls, segments + live_huge.size());

  for (void* block : live_huge) deallocate_block(heap_a.get(), block);
  for (std::size_t i = 0; i < 100; ++i) deallocate_block(heap_a.get(), a_blocks[i]);
  for (void* block : b_blocks) deallocate_block(nullptr, block);
}

}  // namespace
}  // namespace pelmark
