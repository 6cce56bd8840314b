// Blocks freed twice must stop the process through the integrity trap
// before the allocator hands the same memory out twice.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "integrity_death.h"
#include "pelmark/block_release.h"
#include "pelmark/segment_registry.h"
#include "pelmark/thread_heap.h"
#include "private_arena.h"

namespace pelmark {
namespace {

using pelmark_test::died_of_integrity_trap;
using pelmark_test::PrivateArena;

constexpr std::size_t kMiB = std::size_t{1} << 20;

class DoubleFreeDeathTest : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(DoubleFreeDeathTest, HugeBlockFreedTwice) {
  // Up to 16 MiB the first free caches the mapping (so a second push would
  // let two allocations share it); above, or once the cache is drained, the
  // mapping is gone and its header cannot be read.
  const struct {
    const char* name;
    std::size_t size;
    bool drain_cache_between;
  } cases[] = {
      {"cached", 1 * kMiB, false},
      {"cached then unmapped", 1 * kMiB, true},
      {"unmapped at once", 40 * kMiB, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EXIT(
        {
          PrivateArena fixture;
          ThreadHeap heap(*fixture.arena);
          void* payload = heap.allocate(c.size, 64);
          deallocate_block(&heap, payload);
          if (c.drain_cache_between) fixture.arena->release_all_cached();
          deallocate_block(&heap, payload);
        },
        died_of_integrity_trap, "");
  }
}

// Small blocks of 16 KiB: four to a page, so that filling the page (which
// makes the owner reclaim its remote frees) takes few allocations.
constexpr std::size_t kBlock = 16384;

enum class Order { kLocalThenRemote, kRemoteThenLocal };

struct LocalRemoteCase {
  const char* name;
  Order order;
  // Whether the block is handed out again (and zeroed by its new user)
  // before the owner reclaims; otherwise the reclaim happens at thread exit
  // with the block still on the local free list.
  bool handed_out_again;
};

void free_locally_and_remotely(const LocalRemoteCase& c) {
  PrivateArena fixture;
  ThreadHeap other(*fixture.arena);
  ThreadHeap owner(*fixture.arena);
  void* kept = owner.allocate(kBlock, 16);
  void* block = owner.allocate(kBlock, 16);
  if (c.order == Order::kLocalThenRemote) {
    deallocate_block(&owner, block);
    deallocate_block(&other, block);
  } else {
    deallocate_block(&other, block);
    deallocate_block(&owner, block);
  }
  if (c.handed_out_again) {
    void* again = owner.allocate(kBlock, 16);
    std::memset(again, 0, kBlock);
    // Fill the page; the next request makes the owner reclaim the remote
    // free, which would hand `block` out a second time.
    std::vector<void*> blocks;
    for (int i = 0; i < 4; ++i) blocks.push_back(owner.allocate(kBlock, 16));
    for (void* b : blocks) {
      if (b == again) std::_Exit(0);  // a live block handed out twice: no trap
    }
  }
  (void)kept;
  // Leaving the scope destroys the owner heap, which reclaims its pages'
  // remote frees on the way out.
}

TEST_F(DoubleFreeDeathTest, SmallBlockFreedLocallyAndRemotely) {
  const LocalRemoteCase cases[] = {
      {"local then remote, still on the local list", Order::kLocalThenRemote, false},
      {"remote then local, still on the local list", Order::kRemoteThenLocal, false},
      {"local then remote, handed out again", Order::kLocalThenRemote, true},
      {"remote then local, handed out again", Order::kRemoteThenLocal, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EXIT(free_locally_and_remotely(c), died_of_integrity_trap, "");
  }
}

TEST_F(DoubleFreeDeathTest, FreeOfAnAddressTheAllocatorNeverMappedTraps) {
  // A page boundary with a page of static storage before it, found by hand:
  // PE object files cannot align anything to more than 8 KiB.
  static std::byte foreign[65536 * 3];
  const std::size_t to_boundary = (65536 - reinterpret_cast<std::uintptr_t>(foreign) % 65536) % 65536;
  EXPECT_EXIT(deallocate_block(nullptr, &foreign[to_boundary + 65536]), died_of_integrity_trap, "");
}

TEST(DoubleFreeChecks, PageAlignedBlocksAndHugePayloadsAreRegistered) {
  PrivateArena fixture;
  SegmentHeader* segment = nullptr;
  {
    ThreadHeap heap(*fixture.arena);
    ThreadHeap other(*fixture.arena);
    // 16 KiB blocks: every fourth one starts a page and takes the checked path.
    std::vector<void*> blocks;
    for (int i = 0; i < 64; ++i) blocks.push_back(heap.allocate(kBlock, 16));
    segment = segment_of(blocks[0]);
    EXPECT_EQ(registered_kind(segment), SegmentKind::kArenaSegment);
    void* huge = heap.allocate(3 * kMiB, 64);
    EXPECT_EQ(registered_kind(segment_of(huge)), SegmentKind::kLiveHuge);
    deallocate_block(&other, huge);
    EXPECT_EQ(registered_kind(segment_of(huge)), SegmentKind::kUnknown);  // cached, not live
    EXPECT_EQ(heap.allocate(3 * kMiB, 64), huge);
    deallocate_block(&heap, huge);

    // Half freed by another heap, half by the owner; the blocks then come
    // back without a trap and without duplicates.
    for (std::size_t i = 0; i < blocks.size(); ++i) deallocate_block(i % 2 == 0 ? &heap : &other, blocks[i]);
    std::vector<void*> again;
    for (int i = 0; i < 64; ++i) again.push_back(heap.allocate(kBlock, 16));
    std::sort(again.begin(), again.end());
    EXPECT_EQ(std::adjacent_find(again.begin(), again.end()), again.end());
    for (void* block : again) deallocate_block(&heap, block);
  }
  fixture.arena->release_all_cached();
  EXPECT_EQ(registered_kind(segment), SegmentKind::kUnknown);  // unmapped
}

}  // namespace
}  // namespace pelmark
