#pragma once
// A thread's heap of 64 KiB pages. Requests of up to 16 KiB are rounded to a
// size class and served from the class's current page without locks or
// atomic operations; blocks freed by the owning thread go back to the page's
// local free list, blocks freed by other threads onto the page's remote list
// (one compare-and-swap), which the owner takes back in bulk. Larger requests
// go to the arena's huge path.
//
// A heap is used by one thread only. The process-wide heaps live in
// thread-local storage (allocator.cpp); tests build their own over a private
// arena. Destroying a heap is the thread-exit path: empty segments go back to
// the arena, segments with live blocks are abandoned for another heap to
// adopt.

#include <cstddef>
#include <cstdint>

#include "pelmark/arena.h"
#include "pelmark/block_poisoning.h"
#include "pelmark/integrity_trap.h"
#include "pelmark/page_list.h"
#include "pelmark/segment_header.h"
#include "pelmark/size_classes.h"

namespace pelmark {

struct HeapCounters {
  std::uint64_t pages_initialised = 0;
  std::uint64_t segments_reused = 0;
  std::uint64_t segments_mapped = 0;
  std::uint64_t segments_adopted = 0;
  std::uint64_t blocks_reclaimed = 0;
};

class ThreadHeap {
 public:
  explicit ThreadHeap(Arena& arena) noexcept;
  ~ThreadHeap();
  ThreadHeap(const ThreadHeap&) = delete;
  ThreadHeap& operator=(const ThreadHeap&) = delete;

  // A block of `size` bytes at `alignment` (a power of two), or null when no
  // memory can be had or the alignment is invalid.
  void* allocate(std::size_t size, std::size_t alignment);
  // The lock-free part alone: a block from the class's current page, or null
  // when the request needs the slow path (allocate_slow).
  void* try_allocate_fast(std::size_t size, std::size_t alignment) noexcept;
  void* allocate_slow(std::size_t size, std::size_t alignment);
  // Frees a block of a page whose segment this heap owns.
  void free_local(PageRecord& page, void* block) noexcept;
  // Reclaims remote frees of the segments other than the current one, moves
  // their empty pages to the empty list and gives empty segments back to the
  // arena while the heap keeps at least kKeptSegments.
  void collect() noexcept;

  Arena& arena() noexcept { return arena_; }
  const HeapCounters& counters() const noexcept { return counters_; }
  std::uint32_t owned_segment_count() const noexcept { return owned_count_; }

  // Segments a heap keeps even when they are empty, so that a thread whose
  // demand oscillates does not map and unmap on every swing.
  static constexpr std::uint32_t kKeptSegments = 4;
  // Slow-path events (page changes, pages running empty) between two
  // collections: often enough that remote frees do not pile up, rare enough
  // to be invisible in the cost per block.
  static constexpr std::uint32_t kEventsPerCollect = 64;
  // Bounds on the slow path's scans.
  static constexpr std::uint32_t kFullPagesScanned = 128;
  static constexpr std::uint32_t kEmptyPagesScanned = 16;

 private:
  // Per-thread batch of the global per-class counters, one per class: with
  // fewer slots than classes, a thread cycling through many sizes would flush
  // (two atomic adds) on nearly every allocation.
  struct ClassBatch {
    std::uint32_t count = 0;
    std::uint64_t bytes = 0;
    std::uint64_t epoch = 0;  // global epoch when the batch started
  };
  static constexpr std::uint32_t kClassBatchSize = 64;

  void* take_block(PageRecord& page) noexcept;
  void count_class_allocation(std::uint32_t size_class, std::size_t size) noexcept;
  void flush_class_batch(std::uint32_t size_class) noexcept;
  // Flushes and passes `block` through, so that the fast path ends in a tail
  // call and needs no stack frame.
  [[gnu::noinline, gnu::returns_nonnull]] void* flush_class_batch_and_return(std::uint32_t size_class, void* block) noexcept;

  void* allocate_slow(std::uint32_t size_class, std::size_t size, std::size_t alignment);
  void* allocate_from_pages(std::uint32_t size_class);
  PageRecord* refill_from_available(std::uint32_t size_class);
  PageRecord* reclaim_from_full(std::uint32_t size_class) noexcept;
  PageRecord* reuse_empty_page(std::uint32_t size_class) noexcept;
  PageRecord* carve_unused_slot(std::uint32_t size_class) noexcept;
  bool take_segment_from_arena() noexcept;
  void init_page(PageRecord& page, std::uint32_t size_class) noexcept;

  void after_local_free(PageRecord& page) noexcept;
  void note_slow_event() noexcept {
    if (++slow_events_ % kEventsPerCollect == 0) [[unlikely]] collect();
  }
  std::uint32_t reclaim(PageRecord& page) noexcept;

  PageList& list_of(const PageRecord& page) noexcept;
  void link(PageRecord& page, ListState state, bool at_front) noexcept;
  void unlink(PageRecord& page) noexcept;
  bool is_only_available_page(const PageRecord& page) const noexcept;

  void own_segment(SegmentHeader& segment) noexcept;
  void disown_segment(SegmentHeader& segment) noexcept;
  void make_current(SegmentHeader& segment) noexcept;
  void adopt_segment(SegmentHeader& segment) noexcept;
  void collect_segment(SegmentHeader& segment) noexcept;

  Arena& arena_;
  bool reentrant_ = false;  // set while the slow path runs
  PageList available_[kClassCount];
  PageList full_[kClassCount];
  PageList empty_;
  SegmentHeader* current_ = nullptr;
  std::uint32_t next_unused_slot_ = kPagesPerSegment;
  SegmentHeader* owned_head_ = nullptr;
  std::uint32_t owned_count_ = 0;
  std::uint32_t slow_events_ = 0;
  std::uint64_t serial_;
  HeapCounters counters_;
  ClassBatch class_batches_[kClassCount];
};

// --- fast paths -------------------------------------------------------------

inline void mark_in_use(const PageRecord& page) noexcept {
  SegmentHeader* segment = segment_of(page);
  // Current segments keep the bits of pages that ran empty: no store then.
  if ((segment->pages_in_use & page_bit(page)) == 0) segment->pages_in_use |= page_bit(page);
}

inline void* ThreadHeap::take_block(PageRecord& page) noexcept {
  std::byte* const start = page_start(page);
  void* block = page.local_free;
  if (block != nullptr) {
    unpoison_block(block, page.block_size);
    // A free block must lie inside its page and link to another such block
    // or to nothing; anything else is a corrupted (double-freed or
    // overwritten) free list. Offsets from the 64 KiB-aligned page start fold
    // each range test into one unsigned comparison (a null link's offset is
    // a multiple of 16 too), and the tests combine without branches.
    const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(start);
    const std::uintptr_t offset = reinterpret_cast<std::uintptr_t>(block) - first;
    const std::uintptr_t next = *static_cast<const std::uintptr_t*>(block);
    const std::uintptr_t next_offset = next - first;
    check_integrity((offset <= kPageSize - page.block_size) & (((offset | next_offset) & 15) == 0) &
                    ((next == 0) | (next_offset < kPageSize)) & (page.slot < kPagesPerSegment));
    page.local_free = reinterpret_cast<void*>(next);
  } else if (page.bump < class_blocks_per_page(page.size_class)) {
    block = start + std::size_t{page.bump} * page.block_size;
    ++page.bump;
    unpoison_block(block, page.block_size);  // a page reused for another class may still be poisoned
  } else {
    return nullptr;
  }
  if (page.used++ == 0) [[unlikely]] mark_in_use(page);
  return block;
}

inline void ThreadHeap::count_class_allocation(std::uint32_t size_class, std::size_t size) noexcept {
  ClassBatch& batch = class_batches_[size_class];
  batch.bytes += size;
  if (++batch.count == kClassBatchSize) [[unlikely]] flush_class_batch(size_class);
}

inline void* ThreadHeap::try_allocate_fast(std::size_t size, std::size_t alignment) noexcept {
  const std::uint32_t size_class = size_class_for(size, alignment);
  if (size_class >= kClassCount || reentrant_ || !is_power_of_two(alignment)) [[unlikely]] return nullptr;
  PageRecord* page = available_[size_class].head;
  if (page == nullptr) [[unlikely]] return nullptr;
  void* block = take_block(*page);
  if (block == nullptr) [[unlikely]] return nullptr;
  ClassBatch& batch = class_batches_[size_class];
  batch.bytes += size;
  if (++batch.count == kClassBatchSize) [[unlikely]] return flush_class_batch_and_return(size_class, block);
  return block;
}

inline void* ThreadHeap::allocate(std::size_t size, std::size_t alignment) {
  if (void* block = try_allocate_fast(size, alignment)) [[likely]] return block;
  return allocate_slow(size, alignment);
}

inline void ThreadHeap::free_local(PageRecord& page, void* block) noexcept {
  // Freeing into an empty page, or the block just freed, is a double free.
  check_integrity(page.used != 0 && page.local_free != block);
  *static_cast<void**>(block) = page.local_free;
  poison_free_block(block, page.block_size);
  page.local_free = block;
  const std::uint32_t used = --page.used;
  if (used == 0 || page.list_state == ListState::kFull) [[unlikely]] {
    // The current segment's available pages stay where they are when they
    // run empty; only the event is counted.
    if (used == 0 && page.list_state == ListState::kAvailable && segment_of(page)->is_current != 0) {
      note_slow_event();
    } else {
      after_local_free(page);
    }
  }
}

}  // namespace pelmark
