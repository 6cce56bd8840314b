#pragma once
// Freeing a block from any thread. The block's segment header (its address
// with the low 21 bits cleared) says which page the block is on; a page of
// block size 0 is a huge payload, a segment owned by the calling heap takes a
// local free, and every other block is pushed onto its page's remote list.

#include <cstddef>

#include "pelmark/thread_heap.h"

namespace pelmark {

// Pushes a block onto its page's remote free list (one compare-and-swap).
// Traps on an address outside the user range or on the block that was
// pushed last (a double free).
void free_remote(PageRecord& page, void* block) noexcept;

// Gives a huge payload back to the arena that mapped it.
void release_huge_block(void* payload) noexcept;

// Frees `address` (null is ignored); `caller` is the calling thread's heap,
// or null when the thread has none.
inline void deallocate_block(ThreadHeap* caller, void* address) noexcept {
  if (address == nullptr) return;
  SegmentHeader* segment = segment_of(address);
  PageRecord& page = segment->pages[page_slot_of(address)];
  if (page.block_size == 0) [[unlikely]] {
    release_huge_block(address);
  } else if (caller != nullptr && segment->owner_heap.load(std::memory_order_relaxed) == caller) [[likely]] {
    caller->free_local(page, address);
  } else {
    free_remote(page, address);
  }
}

// Bytes usable from `address`, a live block: its page's block size, or the
// rest of its huge mapping.
std::size_t usable_size(const void* address);

}  // namespace pelmark
