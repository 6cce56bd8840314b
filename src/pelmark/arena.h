#pragma once
// One arena instance: the operating-system layer of the allocator. It hands
// out 2 MiB segments to thread heaps, keeps segments heaps gave up in
// per-node pools (retained: empty; abandoned: still holding live blocks of an
// exited thread), and serves huge allocations, each in a mapping of its own,
// with a per-node cache of released huge mappings.
//
// All pools are shared by every thread; each access holds the pool's spin
// lock. Segments owned by a thread heap are never touched here.

#include <cstddef>
#include <cstdint>

#include "pelmark/huge_cache.h"
#include "pelmark/memory_service.h"
#include "pelmark/segment_header.h"
#include "pelmark/segment_pool.h"
#include "pelmark/settings.h"
#include "pelmark/statistics.h"

namespace pelmark {

enum class SegmentOrigin : std::uint8_t { kReused, kAdopted, kFresh, kFailed };

struct AcquiredSegment {
  SegmentHeader* segment = nullptr;  // null when origin is kFailed
  SegmentOrigin origin = SegmentOrigin::kFailed;
};

// Largest alignment the huge path serves. The payload must stay inside the
// first 2 MiB of its segment so that its header is found by masking.
inline constexpr std::size_t kLargestHugeAlignment = std::size_t{1} << 20;

class Arena {
 public:
  Arena(MemoryService& memory, Statistics& statistics, const SettingsRecord& settings) noexcept;
  // Unmaps every pooled and cached mapping. Only instances made for tests are
  // ever destroyed; live huge allocations and owned segments are not touched.
  ~Arena();
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;

  // Retained pool of the thread's node, then its abandoned pool (then the
  // other nodes, in increasing order modulo 16), else a fresh mapping; a
  // refused mapping releases every cached mapping and is retried once.
  AcquiredSegment acquire_segment() noexcept;
  // Keeps the segment in its node's retained pool while that holds fewer than
  // the retention limit, else unmaps it (kept in the pool if that fails).
  void release_segment(SegmentHeader* segment) noexcept;
  // The thread-exit variant: tries the pool lock 64 times and unmaps instead
  // of waiting. False when the segment could be neither pooled nor unmapped;
  // the caller then abandons it.
  bool release_segment_without_waiting(SegmentHeader* segment) noexcept;
  // Pushes a chain (linked through pool_link) onto the abandoned pool of
  // `first`'s node in one operation.
  void abandon_segments(SegmentHeader* first, SegmentHeader* last, std::uint64_t length) noexcept;

  // Payload of at least `size` bytes aligned to `alignment` (a power of two,
  // at most kLargestHugeAlignment; 64 for aligned buffers), or null.
  // The payload's segment is registered as a live huge block until
  // release_huge_block claims it back.
  void* huge_allocate(std::size_t size, std::size_t alignment) noexcept;
  // Caches or unmaps the mapping of a payload whose registry entry the
  // caller has already claimed (release_huge_block).
  void huge_release(void* payload) noexcept;
  // Bytes from the payload to the end of its mapping.
  std::size_t huge_usable_size(const void* payload) const;

  // Unmaps every retained segment and every cached huge mapping.
  void release_all_cached() noexcept;
  // Empties the abandoned pools (the calling thread's node first, then the
  // others in increasing order modulo 16), taking each segment's remote
  // frees: segments left without live blocks are released as by
  // release_segment, the others go back to the abandoned pool of their node.
  void release_empty_abandoned_segments() noexcept;

  // Fork: takes every pool and cache lock in a fixed order (no path holds
  // two of them at once, so any order is deadlock-free), so that no lock is
  // held by a thread that will not exist in the child; then releases them,
  // in the parent and in the child.
  void lock_for_fork() noexcept;
  void unlock_after_fork() noexcept;

  Statistics& statistics() noexcept { return statistics_; }
  const Statistics& statistics() const noexcept { return statistics_; }
  std::uint64_t retained_segment_count() const noexcept;
  std::uint64_t abandoned_segment_count() const noexcept;
  std::uint64_t cached_huge_count() const noexcept;
  std::uint64_t cached_huge_bytes() const noexcept;

 private:
  SegmentHeader* map_fresh_segment() noexcept;
  SegmentHeader* map_huge_segment(std::uint64_t mapping_size) noexcept;
  bool unmap_segment(SegmentHeader* segment) noexcept;
  bool unmap_huge(SegmentHeader* segment) noexcept;
  SegmentHeader* pop_nearest(SegmentPool (&pools)[kNodeSlots]) noexcept;
  SegmentHeader* pop_nearest_huge(std::uint64_t mapping_size) noexcept;

  MemoryService& memory_;
  Statistics& statistics_;
  const SettingsRecord& settings_;
  SegmentPool retained_[kNodeSlots];
  SegmentPool abandoned_[kNodeSlots];
  HugeNodeCache huge_[kNodeSlots];
};

// Mapping size for a huge payload of `size` bytes at `alignment`
// (size + max(alignment, 64 KiB) + 2 MiB), or 0 when it overflows.
std::uint64_t huge_mapping_size_for(std::size_t size, std::size_t alignment) noexcept;

}  // namespace pelmark
