#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "pelmark/block_release.h"
#include "pelmark/huge_cache.h"
#include "pelmark/thread_heap.h"
#include "platform/invariant_failure.h"
#include "private_arena.h"

namespace pelmark {
namespace {

using pelmark_test::PrivateArena;

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

TEST(HugeAllocations, ReleasedMappingIsReusedWithoutMappingAgain) {
  PrivateArena fixture;
  ThreadHeap heap(*fixture.arena);
  void* first = heap.allocate(20000, 64);
  ASSERT_NE(first, nullptr);
  const std::uint64_t mapping = huge_mapping_size_for(20000, 64);
  EXPECT_EQ(mapping, 20000 + 2 * kMiB + 64 * 1024);
  EXPECT_EQ(fixture.stats().bytes_mapped, mapping);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(first) % 65536, 0u);
  std::memset(first, 0xAB, 20000);

  deallocate_block(&heap, first);
  EXPECT_EQ(fixture.arena->cached_huge_count(), 1u);
  void* second = heap.allocate(20000, 64);
  EXPECT_EQ(second, first);
  EXPECT_EQ(fixture.arena->cached_huge_count(), 0u);
  const auto stats = fixture.stats();
  EXPECT_EQ(stats.map_calls, 1u);
  EXPECT_EQ(stats.bytes_mapped, mapping);
  deallocate_block(&heap, second);
}

TEST(HugeAllocations, OnlyMappingsUpToSixteenMibAreCached) {
  const std::uint64_t overhead = huge_mapping_size_for(0, 64);
  const struct {
    std::uint64_t mapping_size;
    bool cached;
  } cases[] = {{16 * kMiB - 1, true}, {16 * kMiB, true}, {16 * kMiB + 1, false}, {40 * kMiB, false}};
  for (const auto& c : cases) {
    PrivateArena fixture;
    void* payload = fixture.arena->huge_allocate(c.mapping_size - overhead, 64);
    ASSERT_NE(payload, nullptr);
    EXPECT_EQ(fixture.stats().bytes_mapped, c.mapping_size);
    release_huge_block(payload);
    const auto stats = fixture.stats();
    EXPECT_EQ(fixture.arena->cached_huge_count(), c.cached ? 1u : 0u) << c.mapping_size;
    EXPECT_EQ(stats.release_calls, c.cached ? 0u : 1u) << c.mapping_size;
    EXPECT_EQ(stats.bytes_mapped, c.cached ? c.mapping_size : 0u) << c.mapping_size;
  }
}

TEST(HugeAllocations, SubStackByteLimitUnmapsTheSurplus) {
  // Mappings of 16 MiB share one sub-stack capped at 128 MiB: eight fit.
  PrivateArena fixture;
  const std::size_t payload_size = 16 * kMiB - huge_mapping_size_for(0, 64);
  std::vector<void*> payloads;
  for (int i = 0; i < 9; ++i) payloads.push_back(fixture.arena->huge_allocate(payload_size, 64));
  for (void* payload : payloads) release_huge_block(payload);
  EXPECT_EQ(fixture.arena->cached_huge_count(), 8u);
  EXPECT_EQ(fixture.arena->cached_huge_bytes(), 128 * kMiB);
  EXPECT_EQ(fixture.stats().release_calls, 1u);
}

TEST(HugeAllocations, BucketsNeverHandOutAMappingThatIsTooSmall) {
  // Cache one mapping from each half of several buckets, then ask for sizes
  // around them: every hit must be large enough, and a request just above
  // every cached mapping must map afresh.
  PrivateArena fixture;
  const std::uint64_t overhead = huge_mapping_size_for(0, 64);
  const std::uint64_t cached_sizes[] = {2 * kMiB + 100 * 1024, 3 * kMiB + 512 * 1024, 5 * kMiB, 7 * kMiB,
                                        9 * kMiB, 15 * kMiB};
  for (std::uint64_t size : cached_sizes) release_huge_block(fixture.arena->huge_allocate(size - overhead, 64));
  ASSERT_EQ(fixture.arena->cached_huge_count(), std::size(cached_sizes));
  const std::uint64_t maps_before = fixture.stats().map_calls;
  std::vector<void*> payloads;
  for (std::uint64_t wanted : {2 * kMiB + 200 * 1024, 3 * kMiB, 4 * kMiB, 6 * kMiB, 12 * kMiB}) {
    void* payload = fixture.arena->huge_allocate(wanted - overhead, 64);
    ASSERT_NE(payload, nullptr);
    EXPECT_GE(segment_of(payload)->huge_mapping_size, wanted);
    EXPECT_GE(fixture.arena->huge_usable_size(payload), wanted - overhead);
    payloads.push_back(payload);
  }
  EXPECT_EQ(fixture.stats().map_calls, maps_before);  // every request found a cached mapping
  EXPECT_EQ(fixture.arena->cached_huge_count(), 1u);
  for (void* payload : payloads) release_huge_block(payload);
}

TEST(HugeAllocations, BucketOfAMapping) {
  const struct {
    std::uint64_t mapping_size;
    std::uint32_t bucket, sub_stack;
  } cases[] = {
      {2 * kMiB + 1, 8, 0},  {3 * kMiB, 8, 0},       {3 * kMiB + 1, 8, 1}, {4 * kMiB, 8, 1},
      {4 * kMiB + 1, 9, 0},  {8 * kMiB + 1, 10, 0},  {16 * kMiB, 10, 1},   {8192, 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(huge_bucket_of(c.mapping_size), c.bucket) << c.mapping_size;
    EXPECT_EQ(huge_sub_stack_of(c.mapping_size, c.bucket), c.sub_stack) << c.mapping_size;
  }
}

TEST(HugeAllocations, AlignedPayloadsAndUsableSize) {
  PrivateArena fixture;
  for (std::size_t alignment : {std::size_t{64}, std::size_t{65536}, std::size_t{1} << 18, std::size_t{1} << 20}) {
    void* payload = fixture.arena->huge_allocate(100000, alignment);
    ASSERT_NE(payload, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(payload) % alignment, 0u);
    const SegmentHeader* segment = segment_of(payload);
    const auto end = reinterpret_cast<std::uintptr_t>(segment->mapping_base) + segment->huge_mapping_size;
    EXPECT_EQ(usable_size(payload), end - reinterpret_cast<std::uintptr_t>(payload));
    EXPECT_GE(usable_size(payload), 100000u);
    std::memset(payload, 1, 100000);
    release_huge_block(payload);
  }
  EXPECT_EQ(fixture.arena->huge_allocate(1000, std::size_t{2} << 20), nullptr);
  EXPECT_EQ(fixture.arena->huge_allocate(1000, 3), nullptr);
  EXPECT_EQ(fixture.arena->huge_allocate(SIZE_MAX - 1000, 64), nullptr);
}

TEST(HugeAllocations, UsableSizeRejectsAPayloadOutsideItsMapping) {
  PrivateArena fixture;
  void* payload = fixture.arena->huge_allocate(100000, 64);
  SegmentHeader* segment = segment_of(payload);
  const std::uint64_t real_size = segment->huge_mapping_size;
  segment->huge_mapping_size = 1000;
  try {
    fixture.arena->huge_usable_size(payload);
    ADD_FAILURE() << "no invariant failure";
  } catch (const platform::InvariantFailure& failure) {
    EXPECT_EQ(failure.message(), "user_ptr is outside the mapping interval");
  }
  segment->huge_mapping_size = UINT64_MAX - 10;
  try {
    fixture.arena->huge_usable_size(payload);
    ADD_FAILURE() << "no invariant failure";
  } catch (const platform::InvariantFailure& failure) {
    EXPECT_EQ(failure.message(), "raw_alloc_ptr + huge_size overflowed the address space");
  }
  segment->huge_mapping_size = real_size;
  release_huge_block(payload);
}

TEST(HugeAllocations, RefusedMappingYieldsNull) {
  PrivateArena fixture;
  fixture.memory.refuse_maps = 1;
  EXPECT_EQ(fixture.arena->huge_allocate(100000, 64), nullptr);
  EXPECT_EQ(fixture.stats().bytes_mapped, 0u);
  void* payload = fixture.arena->huge_allocate(100000, 64);
  ASSERT_NE(payload, nullptr);
  release_huge_block(payload);
}

TEST(HugeAllocationsDeathTest, CorruptBackPointerStopsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        PrivateArena fixture;
        ThreadHeap heap(*fixture.arena);
        void* payload = heap.allocate(100000, 64);
        static_cast<std::uint64_t*>(payload)[-1] += 64;
        deallocate_block(&heap, payload);
      },
      "");
}

}  // namespace
}  // namespace pelmark
