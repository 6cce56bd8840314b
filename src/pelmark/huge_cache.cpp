#include "pelmark/huge_cache.h"

#include <bit>

namespace pelmark {

std::uint32_t huge_bucket_of(std::uint64_t mapping_size) noexcept {
  // Bucket b covers (N(b), 2 N(b)] with N(b) = 2^(b + 13); the same rule
  // places a released mapping and starts a search, so every entry of a
  // bucket above the starting one is large enough.
  if (mapping_size <= huge_bucket_nominal(0)) return 0;
  const auto log2_floor = static_cast<std::uint32_t>(std::bit_width(mapping_size - 1) - 1);
  const std::uint32_t bucket = log2_floor - 13;
  return bucket < kHugeBuckets ? bucket : kHugeBuckets - 1;
}

std::uint32_t huge_sub_stack_of(std::uint64_t mapping_size, std::uint32_t bucket) noexcept {
  return mapping_size > huge_bucket_nominal(bucket) + huge_bucket_nominal(bucket) / 2 ? 1 : 0;
}

SegmentHeader* HugeSubStack::pop_first_fit(std::uint64_t mapping_size) noexcept {
  if (entries() == 0) return nullptr;
  SpinLockGuard guard(lock_);
  SegmentHeader* rejected_top = nullptr;  // popped too-small entries, reversed
  SegmentHeader* found = nullptr;
  while (SegmentHeader* segment = stack_.pop()) {
    if (segment->huge_mapping_size >= mapping_size) {
      found = segment;
      break;
    }
    segment->pool_link = pool_link_of(rejected_top);
    rejected_top = segment;
  }
  while (rejected_top != nullptr) {
    SegmentHeader* next = segment_from_link(rejected_top->pool_link);
    stack_.push(rejected_top);
    rejected_top = next;
  }
  if (found != nullptr) {
    entries_.fetch_sub(1, std::memory_order_relaxed);
    bytes_.fetch_sub(found->huge_mapping_size, std::memory_order_relaxed);
  }
  return found;
}

bool HugeSubStack::push_within_limits(SegmentHeader* segment, std::uint64_t bucket_entries) noexcept {
  SpinLockGuard guard(lock_);
  const std::uint64_t size = segment->huge_mapping_size;
  if (bucket_entries >= kHugeBucketEntryLimit) return false;
  if (bytes_.load(std::memory_order_relaxed) + size > kHugeSubStackByteLimit) return false;
  stack_.push(segment);
  entries_.fetch_add(1, std::memory_order_relaxed);
  bytes_.fetch_add(size, std::memory_order_relaxed);
  return true;
}

SegmentHeader* HugeSubStack::take_all() noexcept {
  SpinLockGuard guard(lock_);
  entries_.store(0, std::memory_order_relaxed);
  bytes_.store(0, std::memory_order_relaxed);
  return stack_.take_all();
}

SegmentHeader* HugeNodeCache::pop_fitting(std::uint64_t mapping_size) noexcept {
  if (mapping_size > kHugeCacheLargestMapping) return nullptr;
  const std::uint32_t first = huge_bucket_of(mapping_size);
  for (std::uint32_t bucket = first; bucket < kHugeBuckets; ++bucket) {
    HugeSubStack* pair = sub_stacks_[bucket];
    // In the first bucket the lower half cannot hold a mapping from the
    // upper half of the range.
    const bool try_lower = bucket > first || huge_sub_stack_of(mapping_size, bucket) == 0;
    if (try_lower) {
      if (SegmentHeader* segment = pair[0].pop_first_fit(mapping_size)) return segment;
    }
    if (SegmentHeader* segment = pair[1].pop_first_fit(mapping_size)) return segment;
  }
  return nullptr;
}

bool HugeNodeCache::push(SegmentHeader* segment) noexcept {
  const std::uint64_t size = segment->huge_mapping_size;
  if (size > kHugeCacheLargestMapping) return false;
  const std::uint32_t bucket = huge_bucket_of(size);
  HugeSubStack* pair = sub_stacks_[bucket];
  return pair[huge_sub_stack_of(size, bucket)].push_within_limits(segment,
                                                                    pair[0].entries() + pair[1].entries());
}

std::uint64_t HugeNodeCache::entries() const noexcept {
  std::uint64_t total = 0;
  for (const auto& bucket : sub_stacks_) total += bucket[0].entries() + bucket[1].entries();
  return total;
}

std::uint64_t HugeNodeCache::bytes() const noexcept {
  std::uint64_t total = 0;
  for (const auto& bucket : sub_stacks_) total += bucket[0].bytes() + bucket[1].bytes();
  return total;
}

}  // namespace pelmark
