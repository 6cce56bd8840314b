#include "pelmark/arena.h"

#include <bit>
#include <new>

#include "pelmark/block_poisoning.h"
#include "pelmark/integrity_trap.h"
#include "pelmark/page_reclaim.h"
#include "pelmark/segment_registry.h"
#include "pelmark/thread_node.h"

namespace pelmark {

namespace {

// Exit paths try a pool lock this often before unmapping instead: an exiting
// thread must not wait behind others.
constexpr std::uint32_t kExitLockAttempts = 64;

std::uintptr_t align_up(std::uintptr_t address, std::uintptr_t alignment) {
  return (address + alignment - 1) & ~(alignment - 1);
}

// Blocks still live in an unowned segment once its remote frees are taken.
std::uint64_t live_blocks_after_reclaim(SegmentHeader& segment) noexcept {
  std::uint64_t live = 0;
  std::uint32_t mask = segment.pages_in_use;
  while (mask != 0) {
    PageRecord& page = segment.pages[std::countr_zero(mask)];
    mask &= mask - 1;
    if (has_remote_frees(page)) reclaim_remote_frees(page);
    live += page.used;
  }
  return live;
}

}  // namespace

Arena::Arena(MemoryService& memory, Statistics& statistics, const SettingsRecord& settings) noexcept
    : memory_(memory), statistics_(statistics), settings_(settings) {}

Arena::~Arena() {
  release_all_cached();
  for (SegmentPool& pool : abandoned_) {
    SegmentHeader* segment = pool.take_all();
    while (segment != nullptr) {
      SegmentHeader* next = segment_from_link(segment->pool_link);
      unmap_segment(segment);
      segment = next;
    }
  }
}

SegmentHeader* Arena::map_fresh_segment() noexcept {
  void* base = memory_.map(kArenaMappingSize);
  if (base == nullptr) return nullptr;
  statistics_.record_map(kArenaMappingSize);
  const auto start = reinterpret_cast<std::uintptr_t>(base);
  const std::uintptr_t segment_start = align_up(start, kSegmentSize);
  check_integrity(segment_start + kSegmentSize <= kAddressMask);
  // Only the aligned 2 MiB stays committed.
  const std::size_t head = segment_start - start;
  const std::size_t tail = kArenaMappingSize - head - kSegmentSize;
  if (head != 0 && memory_.decommit(base, head)) statistics_.record_decommit(head);
  if (tail != 0 && memory_.decommit(reinterpret_cast<void*>(segment_start + kSegmentSize), tail)) {
    statistics_.record_decommit(tail);
  }
  auto* segment = new (reinterpret_cast<void*>(segment_start)) SegmentHeader{};
  reset_segment_header(*segment);
  segment->mapping_base = base;
  segment->node = thread_node();
  segment->arena = this;
  register_segment(segment, SegmentKind::kArenaSegment);
  return segment;
}

bool Arena::unmap_segment(SegmentHeader* segment) noexcept {
  // Unregistered first: the address range may be mapped again by anyone as
  // soon as it is unmapped. Poison left on free blocks goes too, for the same
  // reason.
  check_integrity(unregister_segment(segment, SegmentKind::kArenaSegment));
  unpoison_block(segment, kSegmentSize);
  if (!memory_.unmap(segment->mapping_base, kArenaMappingSize)) {
    register_segment(segment, SegmentKind::kArenaSegment);
    return false;
  }
  statistics_.record_unmap(kArenaMappingSize);
  return true;
}

SegmentHeader* Arena::pop_nearest(SegmentPool (&pools)[kNodeSlots]) noexcept {
  std::uint32_t node = thread_node();
  if (pools[node].count() != 0) {
    if (SegmentHeader* segment = pools[node].pop()) return segment;
  }
  node = note_pool_miss();
  for (std::uint32_t step = 0; step < kNodeSlots; ++step) {
    SegmentPool& pool = pools[(node + step) % kNodeSlots];
    if (pool.count() == 0) continue;
    if (SegmentHeader* segment = pool.pop()) return segment;
  }
  return nullptr;
}

AcquiredSegment Arena::acquire_segment() noexcept {
  if (SegmentHeader* segment = pop_nearest(retained_)) {
    reset_segment_header(*segment);
    return {segment, SegmentOrigin::kReused};
  }
  if (SegmentHeader* segment = pop_nearest(abandoned_)) return {segment, SegmentOrigin::kAdopted};
  SegmentHeader* segment = map_fresh_segment();
  if (segment == nullptr) {
    release_all_cached();
    segment = map_fresh_segment();
  }
  if (segment == nullptr) return {};
  return {segment, SegmentOrigin::kFresh};
}

void Arena::release_segment(SegmentHeader* segment) noexcept {
  SegmentPool& pool = retained_[segment->node % kNodeSlots];
  if (pool.push_below(segment, settings_.max_retained_segments())) return;
  if (unmap_segment(segment)) return;
  pool.push(segment);  // the system refused: keep it rather than lose it
}

bool Arena::release_segment_without_waiting(SegmentHeader* segment) noexcept {
  SegmentPool& pool = retained_[segment->node % kNodeSlots];
  switch (pool.try_push_below(segment, settings_.max_retained_segments(), kExitLockAttempts)) {
    case BoundedPush::kPushed:
      return true;
    case BoundedPush::kFull:
    case BoundedPush::kBusy:
      break;
  }
  if (unmap_segment(segment)) return true;
  return pool.try_push_below(segment, UINT64_MAX, kExitLockAttempts) == BoundedPush::kPushed;
}

void Arena::abandon_segments(SegmentHeader* first, SegmentHeader* last, std::uint64_t length) noexcept {
  abandoned_[first->node % kNodeSlots].push_chain(first, last, length);
}

void Arena::release_all_cached() noexcept {
  for (SegmentPool& pool : retained_) {
    SegmentHeader* segment = pool.take_all();
    while (segment != nullptr) {
      SegmentHeader* next = segment_from_link(segment->pool_link);
      segment->pool_link = 0;
      if (!unmap_segment(segment)) pool.push(segment);
      segment = next;
    }
  }
  for (HugeNodeCache& cache : huge_) {
    cache.drain([this](SegmentHeader* segment) { return unmap_huge(segment); });
  }
}

void Arena::release_empty_abandoned_segments() noexcept {
  // Segments still holding blocks are kept aside and pushed back only at the
  // end, so that the sweep does not pop them again.
  SegmentHeader* kept_first[kNodeSlots] = {};
  SegmentHeader* kept_last[kNodeSlots] = {};
  std::uint64_t kept_count[kNodeSlots] = {};
  const std::uint32_t first_node = thread_node();
  for (std::uint32_t step = 0; step < kNodeSlots; ++step) {
    SegmentPool& pool = abandoned_[(first_node + step) % kNodeSlots];
    while (pool.count() != 0) {
      SegmentHeader* segment = pool.pop();
      if (segment == nullptr) break;
      if (live_blocks_after_reclaim(*segment) == 0) {
        reset_segment_header(*segment);
        release_segment(segment);
        continue;
      }
      const std::uint32_t node = segment->node % kNodeSlots;
      segment->pool_link = pool_link_of(kept_first[node]);
      kept_first[node] = segment;
      if (kept_last[node] == nullptr) kept_last[node] = segment;
      ++kept_count[node];
    }
  }
  for (std::uint32_t node = 0; node < kNodeSlots; ++node) {
    if (kept_count[node] != 0) abandoned_[node].push_chain(kept_first[node], kept_last[node], kept_count[node]);
  }
}

void Arena::lock_for_fork() noexcept {
  for (SegmentPool& pool : retained_) pool.lock_for_fork();
  for (SegmentPool& pool : abandoned_) pool.lock_for_fork();
  for (HugeNodeCache& cache : huge_) cache.lock_for_fork();
}

void Arena::unlock_after_fork() noexcept {
  for (HugeNodeCache& cache : huge_) cache.unlock_after_fork();
  for (SegmentPool& pool : abandoned_) pool.unlock_after_fork();
  for (SegmentPool& pool : retained_) pool.unlock_after_fork();
}

std::uint64_t Arena::retained_segment_count() const noexcept {
  std::uint64_t total = 0;
  for (const SegmentPool& pool : retained_) total += pool.count();
  return total;
}

std::uint64_t Arena::abandoned_segment_count() const noexcept {
  std::uint64_t total = 0;
  for (const SegmentPool& pool : abandoned_) total += pool.count();
  return total;
}

std::uint64_t Arena::cached_huge_count() const noexcept {
  std::uint64_t total = 0;
  for (const HugeNodeCache& cache : huge_) total += cache.entries();
  return total;
}

std::uint64_t Arena::cached_huge_bytes() const noexcept {
  std::uint64_t total = 0;
  for (const HugeNodeCache& cache : huge_) total += cache.bytes();
  return total;
}

}  // namespace pelmark
