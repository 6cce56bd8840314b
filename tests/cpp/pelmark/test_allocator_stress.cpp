// Many threads allocate blocks of random sizes and alignments through the
// process-wide entry points, fill each with a pattern unique to the block,
// and free it on the same or another thread; threads exit while blocks they
// allocated are still held elsewhere. A pattern found changed at free time
// means a block was handed out twice or written by the allocator while live.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "pelmark/allocator.h"
#include "pelmark/process_allocator.h"
#include "pelmark/thread_heap.h"

namespace pelmark {
namespace {

struct Block {
  std::uint64_t* words;
  std::size_t word_count;  // words carrying the pattern
  std::uint64_t tag;
};

constexpr std::size_t kHugeFilledWords = 512;  // head and tail of huge blocks

std::size_t pattern_words(std::size_t size) { return size / 8; }

void fill(const Block& block) {
  const std::size_t n = block.word_count;
  if (n <= 2 * kHugeFilledWords) {
    std::fill(block.words, block.words + n, block.tag);
  } else {
    std::fill(block.words, block.words + kHugeFilledWords, block.tag);
    std::fill(block.words + n - kHugeFilledWords, block.words + n, block.tag);
  }
}

bool intact(const Block& block) {
  const std::size_t n = block.word_count;
  const auto same = [&](std::size_t from, std::size_t to) {
    return std::all_of(block.words + from, block.words + to, [&](std::uint64_t w) { return w == block.tag; });
  };
  if (n <= 2 * kHugeFilledWords) return same(0, n);
  return same(0, kHugeFilledWords) && same(n - kHugeFilledWords, n);
}

class Mailboxes {
 public:
  explicit Mailboxes(std::size_t count) : boxes_(count) {}
  void send(std::size_t to, const Block& block) {
    std::lock_guard lock(boxes_[to].mutex);
    boxes_[to].blocks.push_back(block);
  }
  std::vector<Block> take(std::size_t from) {
    std::lock_guard lock(boxes_[from].mutex);
    return std::exchange(boxes_[from].blocks, {});
  }

 private:
  struct Box {
    std::mutex mutex;
    std::vector<Block> blocks;
  };
  std::vector<Box> boxes_;
};

TEST(AllocatorStress, RandomSizesCrossThreadFreesAndExitingThreads) {
  constexpr std::size_t kThreadsPerWave = 4;
  constexpr int kWaves = 3;
  constexpr int kOperationsPerThread = 30000;
  std::atomic<std::uint64_t> next_tag{1};
  std::atomic<std::uint64_t> corrupt{0}, misaligned{0};
  Mailboxes mailboxes(kThreadsPerWave);
  std::mutex survivors_mutex;
  std::vector<Block> survivors;  // blocks whose thread has exited

  const auto release = [&](const Block& block) {
    if (!intact(block)) corrupt.fetch_add(1);
    deallocate(block.words);
  };

  for (int wave = 0; wave < kWaves; ++wave) {
    std::vector<std::thread> threads;
    for (std::size_t self = 0; self < kThreadsPerWave; ++self) {
      threads.emplace_back([&, self, wave] {
        std::mt19937_64 random(wave * 1000 + self);
        std::vector<Block> held;
        for (int op = 0; op < kOperationsPerThread; ++op) {
          const unsigned choice = random() % 100;
          if (choice < 55 || held.empty()) {
            std::size_t size;
            const unsigned kind = random() % 100;
            if (kind < 70) size = 8 + random() % 1024;
            else if (kind < 98) size = 8 + random() % 16384;
            else size = 16385 + random() % (3 << 20);
            const std::size_t alignment = std::size_t{16} << (random() % 6);  // 16 .. 512
            auto* words = static_cast<std::uint64_t*>(allocate(size, alignment));
            if (reinterpret_cast<std::uintptr_t>(words) % alignment != 0) misaligned.fetch_add(1);
            const Block block{words, pattern_words(size), next_tag.fetch_add(1)};
            fill(block);
            held.push_back(block);
          } else if (choice < 80) {
            const std::size_t i = random() % held.size();
            release(held[i]);
            held[i] = held.back();
            held.pop_back();
          } else if (choice < 95) {
            const std::size_t i = random() % held.size();
            mailboxes.send(random() % kThreadsPerWave, held[i]);
            held[i] = held.back();
            held.pop_back();
          } else {
            for (const Block& block : mailboxes.take(self)) release(block);
          }
        }
        // Exit while blocks live on: a few go to the next wave's threads.
        std::lock_guard lock(survivors_mutex);
        survivors.insert(survivors.end(), held.begin(), held.end());
      });
    }
    for (std::thread& thread : threads) thread.join();
    // Half of the survivors are freed here (remote frees into abandoned
    // segments), the rest by a later wave's mail.
    std::lock_guard lock(survivors_mutex);
    for (std::size_t i = 0; i < survivors.size(); ++i) {
      if (i % 2 == 0) release(survivors[i]);
      else mailboxes.send(i % kThreadsPerWave, survivors[i]);
    }
    survivors.clear();
  }
  for (std::size_t box = 0; box < kThreadsPerWave; ++box) {
    for (const Block& block : mailboxes.take(box)) release(block);
  }
  EXPECT_EQ(corrupt.load(), 0u);
  EXPECT_EQ(misaligned.load(), 0u);

  // Every block is free: after the caches go, only segments that threads
  // still own (this thread's) or that wait in the abandoned pool are mapped.
  release_all_cached();
  EXPECT_EQ(process_arena().cached_huge_count(), 0u);
  const ThreadHeap* own_heap = current_thread_heap();
  const std::uint64_t owned = own_heap != nullptr ? own_heap->owned_segment_count() : 0;
  EXPECT_EQ(process_statistics().bytes_mapped,
            (owned + process_arena().abandoned_segment_count()) * kArenaMappingSize);
}

}  // namespace
}  // namespace pelmark
