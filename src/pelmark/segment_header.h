#pragma once
// The header at the 2 MiB-aligned start of every segment (page slot 0). Any
// block finds it by clearing the low 21 bits of its address.
//
// A huge segment (one mapping per huge allocation) uses the same header with
// all page records zero except their slot numbers; its payload page record
// therefore has block size 0, which is how a free recognises a huge block.

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "pelmark/page_record.h"
#include "pelmark/segment_geometry.h"

namespace pelmark {

class Arena;
class ThreadHeap;

struct SegmentHeader {
  std::uint64_t page_keys[kPagesPerSegment];  // free-list encoding keys; encoding is never enabled
  PageRecord pages[kPagesPerSegment];
  // The owning heap, or null while the segment sits in a pool or is being
  // handed over. Written by the heap that acquires the segment and cleared by
  // the heap that gives it up; read by every freeing thread to decide between
  // the local and the remote path. Relaxed suffices: a thread can only see
  // itself as owner if it stored that value itself, and every other value
  // leads to the remote path, which is correct whoever owns the segment.
  std::atomic<ThreadHeap*> owner_heap{nullptr};
  std::atomic<std::uint64_t> owner_thread_id{0};  // diagnostic serial of the owner heap
  void* mapping_base = nullptr;   // address the system returned for the mapping
  SegmentHeader* prev = nullptr;  // owner heap's segment list
  SegmentHeader* next = nullptr;
  std::uint64_t pool_link = 0;    // next segment in a pool stack (48-bit address)
  std::uint32_t node = 0;         // NUMA node the memory came from (low 4 bits used)
  std::uint32_t pages_in_use = 0;    // bit i: page i has a live block
  std::uint32_t pages_in_lists = 0;  // bit i: page i is linked in one of the heap's lists
  std::uint8_t is_current = 0;       // 1 while it is its owner heap's current segment
  std::uint8_t free_list_encoding = 0;  // always 0
  // Huge segments: the whole mapping's size and the payload's requested size
  // (64-bit, so mappings beyond 4 GiB keep their true size). Zero in arena
  // segments.
  std::uint64_t huge_mapping_size = 0;
  std::uint64_t huge_payload_size = 0;
  Arena* arena = nullptr;  // the instance whose pools this segment returns to
};

inline constexpr std::size_t kPageRecordsOffset = 256;
static_assert(offsetof(SegmentHeader, pages) == kPageRecordsOffset);
static_assert(sizeof(SegmentHeader) <= kPageSize);

inline SegmentHeader* segment_of(const void* address) {
  return reinterpret_cast<SegmentHeader*>(reinterpret_cast<std::uintptr_t>(address) & ~kSegmentMask);
}

inline std::uint32_t page_slot_of(const void* address) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(address) >> kPageShift) &
         (kPagesPerSegment - 1);
}

inline SegmentHeader* segment_of(const PageRecord& page) { return segment_of(static_cast<const void*>(&page)); }

inline std::byte* page_start(const PageRecord& page) {
  return reinterpret_cast<std::byte*>(segment_of(page)) + (std::size_t{page.slot} << kPageShift);
}

inline std::uint32_t page_bit(const PageRecord& page) { return std::uint32_t{1} << page.slot; }

// Zeroes every page record and numbers them 0..31 again; clears the masks,
// links, owner and flags. Keeps mapping base, node and arena.
void reset_segment_header(SegmentHeader& segment);

}  // namespace pelmark
