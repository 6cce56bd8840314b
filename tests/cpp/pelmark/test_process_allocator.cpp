#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <thread>

#include "pelmark/allocator.h"
#include "pelmark/block_release.h"
#include "pelmark/process_allocator.h"
#include "pelmark/thread_heap.h"

namespace pelmark {
namespace {

TEST(ProcessAllocator, ThreadGetsAHeapOnItsFirstAllocationOnly) {
  std::thread([] {
    collect();  // must not create a heap
    deallocate(nullptr);
    EXPECT_EQ(current_thread_heap(), nullptr);
    void* block = allocate(200, 64);
    ASSERT_NE(current_thread_heap(), nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 64, 0u);
    EXPECT_EQ(usable_size(block), 256u);
    std::memset(block, 7, 200);
    deallocate(block);
    collect();
  }).join();
}

TEST(ProcessAllocator, BlocksOutliveTheirThread) {
  void* small = nullptr;
  void* huge = nullptr;
  std::thread([&] {
    small = allocate(100, 16);
    huge = allocate(1 << 20, 64);
    std::memset(small, 1, 100);
    std::memset(huge, 2, 1 << 20);
  }).join();
  EXPECT_EQ(static_cast<unsigned char*>(small)[99], 1);
  EXPECT_EQ(static_cast<unsigned char*>(huge)[(1 << 20) - 1], 2);
  deallocate(small);
  deallocate(huge);
}

TEST(ProcessAllocator, ReleaseAllCachedDropsCachedHugeMappings) {
  void* huge = allocate(5 << 20, 64);
  deallocate(huge);
  EXPECT_GT(process_arena().cached_huge_count(), 0u);
  release_all_cached();
  EXPECT_EQ(process_arena().cached_huge_count(), 0u);
  EXPECT_EQ(process_arena().retained_segment_count(), 0u);
  const auto stats = process_statistics();
  EXPECT_GE(stats.peak_bytes_mapped, stats.bytes_mapped);
}

TEST(ProcessAllocatorDeathTest, RefusedAllocationReportsSizeAndAlignment) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(allocate(std::size_t{1} << 62, 64),
               "memory allocation of 4611686018427387904 bytes with alignment 64 failed");
  EXPECT_DEATH(allocate(64, 3), "memory allocation of 64 bytes with alignment 3 failed");
}

}  // namespace
}  // namespace pelmark
