#pragma once
// Released huge mappings kept for reuse, per node. Bucket b holds mappings of
// more than N(b) = 8192 * 2^b and at most 2 * N(b) bytes; each bucket splits
// at 1.5 * N(b) into two sub-stacks so that a search for a small mapping does
// not wade through large ones.
//
// Only mappings of at most 16 MiB are cached, at most 1024 per bucket and
// 128 MiB per sub-stack, so the cache holds at most 2.75 GiB per node.

#include <atomic>
#include <cstdint>

#include "pelmark/segment_stack.h"
#include "pelmark/spin_lock.h"

namespace pelmark {

inline constexpr std::uint32_t kHugeBuckets = 11;
inline constexpr std::uint64_t kHugeCacheLargestMapping = std::uint64_t{16} << 20;
inline constexpr std::uint64_t kHugeBucketEntryLimit = 1024;
inline constexpr std::uint64_t kHugeSubStackByteLimit = std::uint64_t{128} << 20;

constexpr std::uint64_t huge_bucket_nominal(std::uint32_t bucket) { return std::uint64_t{8192} << bucket; }

// Bucket whose range holds a mapping of `mapping_size` bytes (at most 16 MiB).
std::uint32_t huge_bucket_of(std::uint64_t mapping_size) noexcept;
// 1 when the mapping lies in the upper half of its bucket.
std::uint32_t huge_sub_stack_of(std::uint64_t mapping_size, std::uint32_t bucket) noexcept;

class alignas(64) HugeSubStack {
 public:
  // Pops the first entry of at least `mapping_size` bytes; the entries above
  // it go back in their order.
  SegmentHeader* pop_first_fit(std::uint64_t mapping_size) noexcept;
  // Pushes unless the bucket would exceed its entry limit (`bucket_entries`
  // already cached in it) or this sub-stack its byte limit.
  bool push_within_limits(SegmentHeader* segment, std::uint64_t bucket_entries) noexcept;
  // Empties the sub-stack; returns the old top, linked through pool_link.
  SegmentHeader* take_all() noexcept;

  // Holds the lock across a fork (Arena::lock_for_fork).
  void lock_for_fork() noexcept { lock_.lock(); }
  void unlock_after_fork() noexcept { lock_.unlock(); }

  // Changed only under the lock; read without it as hints and statistics.
  std::uint64_t entries() const noexcept { return entries_.load(std::memory_order_relaxed); }
  std::uint64_t bytes() const noexcept { return bytes_.load(std::memory_order_relaxed); }

 private:
  SpinLock lock_;
  SegmentStack stack_;
  std::atomic<std::uint64_t> entries_{0};
  std::atomic<std::uint64_t> bytes_{0};
};

class HugeNodeCache {
 public:
  SegmentHeader* pop_fitting(std::uint64_t mapping_size) noexcept;
  bool push(SegmentHeader* segment) noexcept;
  // Calls `each` on every cached mapping after emptying the cache; `each`
  // returns false to have the mapping cached again.
  template <typename Each>
  void drain(Each&& each) noexcept;

  std::uint64_t entries() const noexcept;
  std::uint64_t bytes() const noexcept;

  void lock_for_fork() noexcept {
    for (auto& bucket : sub_stacks_) {
      for (HugeSubStack& sub_stack : bucket) sub_stack.lock_for_fork();
    }
  }
  void unlock_after_fork() noexcept {
    for (auto& bucket : sub_stacks_) {
      for (HugeSubStack& sub_stack : bucket) sub_stack.unlock_after_fork();
    }
  }

 private:
  HugeSubStack sub_stacks_[kHugeBuckets][2];
};

template <typename Each>
void HugeNodeCache::drain(Each&& each) noexcept {
  for (auto& bucket : sub_stacks_) {
    for (HugeSubStack& sub_stack : bucket) {
      SegmentHeader* segment = sub_stack.take_all();
      while (segment != nullptr) {
        SegmentHeader* next = segment_from_link(segment->pool_link);
        segment->pool_link = 0;
        if (!each(segment)) push(segment);
        segment = next;
      }
    }
  }
}

}  // namespace pelmark
