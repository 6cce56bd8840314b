// Under AddressSanitizer the allocator poisons free blocks: a write to a
// freed block inside its own pages is reported. Other builds have nothing
// to test here.

#if defined(__SANITIZE_ADDRESS__)

#include <gtest/gtest.h>

#include <cstddef>

#include "pelmark/block_release.h"
#include "pelmark/thread_heap.h"
#include "private_arena.h"

namespace pelmark {
namespace {

using pelmark_test::PrivateArena;

void write_to(void* block, std::size_t offset) { static_cast<volatile unsigned char*>(block)[offset] = 1; }

TEST(AsanPoisoningDeathTest, WriteToAFreedBlockIsReported) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const struct {
    const char* name;
    bool freed_remotely;
    std::size_t offset;
  } cases[] = {{"local free, link word", false, 0},
               {"local free, past the link", false, 40},
               {"remote free, past the mark", true, 40}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_DEATH(
        {
          PrivateArena fixture;
          ThreadHeap heap(*fixture.arena);
          ThreadHeap other(*fixture.arena);
          void* kept = heap.allocate(64, 16);
          void* block = heap.allocate(64, 16);
          deallocate_block(c.freed_remotely ? &other : &heap, block);
          write_to(block, c.offset);
          deallocate_block(&heap, kept);
        },
        "use-after-poison");
  }
}

TEST(AsanPoisoning, BlocksHandedOutAgainAreUsable) {
  PrivateArena fixture;
  ThreadHeap heap(*fixture.arena);
  ThreadHeap other(*fixture.arena);
  // Free locally and remotely, reclaim, then use every byte of the blocks
  // handed out again; a page reused for another class is usable too.
  for (std::size_t size : {std::size_t{48}, std::size_t{4096}}) {
    void* blocks[64];
    for (void*& block : blocks) block = heap.allocate(size, 16);
    for (int i = 0; i < 64; ++i) deallocate_block(i % 2 == 0 ? &heap : &other, blocks[i]);
    heap.collect();
    for (void*& block : blocks) {
      block = heap.allocate(size, 16);
      for (std::size_t offset = 0; offset < size; ++offset) write_to(block, offset);
    }
    for (void* block : blocks) deallocate_block(&heap, block);
  }
}

}  // namespace
}  // namespace pelmark

#endif
