#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "pelmark/block_release.h"
#include "pelmark/size_classes.h"
#include "pelmark/thread_heap.h"
#include "private_arena.h"

namespace pelmark {
namespace {

using pelmark_test::PrivateArena;

TEST(ClassStatistics, ThreadBatchesReachTheGlobalCountersEverySixtyFourAllocations) {
  PrivateArena fixture;
  const std::uint32_t c100 = size_class_for(100, 16);
  const std::uint32_t c5000 = size_class_for(5000, 16);
  std::vector<void*> blocks;
  {
    ThreadHeap heap(*fixture.arena);
    for (int i = 0; i < 63; ++i) blocks.push_back(heap.allocate(100, 16));
    for (int i = 0; i < 10; ++i) blocks.push_back(heap.allocate(5000, 16));
    EXPECT_EQ(fixture.statistics.class_allocations(c100), 0u);
    blocks.push_back(heap.allocate(110, 16));
    EXPECT_EQ(fixture.statistics.class_allocations(c100), 64u);
    EXPECT_EQ(fixture.statistics.class_bytes(c100), 63u * 100u + 110u);
    EXPECT_EQ(fixture.statistics.class_allocations(c5000), 0u);
    for (void* block : blocks) deallocate_block(&heap, block);
  }
  // Thread exit hands over what is left.
  EXPECT_EQ(fixture.statistics.class_allocations(c5000), 10u);
  EXPECT_EQ(fixture.statistics.class_bytes(c5000), 50000u);
}

TEST(ClassStatistics, BatchesStartedBeforeANewEpochAreDropped) {
  PrivateArena fixture;
  const std::uint32_t c = size_class_for(64, 16);
  ThreadHeap heap(*fixture.arena);
  std::vector<void*> blocks;
  for (int i = 0; i < 10; ++i) blocks.push_back(heap.allocate(64, 16));
  fixture.statistics.begin_epoch();
  for (int i = 0; i < 54; ++i) blocks.push_back(heap.allocate(64, 16));
  EXPECT_EQ(fixture.statistics.class_allocations(c), 0u);  // the stale batch was not added
  for (int i = 0; i < 64; ++i) blocks.push_back(heap.allocate(64, 16));
  EXPECT_EQ(fixture.statistics.class_allocations(c), 64u);
  for (void* block : blocks) deallocate_block(&heap, block);
}

}  // namespace
}  // namespace pelmark
