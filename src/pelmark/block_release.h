#pragma once
// Freeing a block from any thread. The block's segment header (its address
// with the low 21 bits cleared) says which page the block is on; a segment
// owned by the calling heap takes a local free, and every other block is
// pushed onto its page's remote list.
//
// Huge payloads start on a 64 KiB page boundary, and their mapping is gone
// after their release, so a huge block freed twice may have no header left
// to read. Page-aligned addresses (huge payloads and the first block of each
// page) therefore ask the segment registry what they are before any header
// is read; all other addresses can only be small blocks.

#include <cstddef>
#include <cstdint>

#include "pelmark/thread_heap.h"

namespace pelmark {

// Pushes a block onto its page's remote free list (one compare-and-swap).
// Traps on an address outside the user range or on the block that was
// pushed last (a double free).
void free_remote(PageRecord& page, void* block) noexcept;

// Gives a huge payload back to the arena that mapped it. Traps when the
// payload is not a live huge block (freed already, or never one).
void release_huge_block(void* payload) noexcept;

// The free of a page-aligned address: a live huge payload, a small block of
// an arena segment, or else an integrity trap.
void deallocate_page_aligned(ThreadHeap* caller, void* address) noexcept;

// Frees a block of an arena segment.
inline void deallocate_small_block(ThreadHeap* caller, void* address) noexcept {
  SegmentHeader* segment = segment_of(address);
  PageRecord& page = segment->pages[page_slot_of(address)];
  // A page without a block size holds no small blocks: a huge payload or an
  // unused slot, neither of which can be freed at this address.
  check_integrity(page.block_size != 0);
  if (caller != nullptr && segment->owner_heap.load(std::memory_order_relaxed) == caller) [[likely]] {
    caller->free_local(page, address);
  } else {
    free_remote(page, address);
  }
}

// Frees `address` (null is ignored); `caller` is the calling thread's heap,
// or null when the thread has none.
inline void deallocate_block(ThreadHeap* caller, void* address) noexcept {
  if ((reinterpret_cast<std::uintptr_t>(address) & (kPageSize - 1)) == 0) [[unlikely]] {
    if (address != nullptr) deallocate_page_aligned(caller, address);
    return;
  }
  deallocate_small_block(caller, address);
}

// Bytes usable from `address`, a live block: its page's block size, or the
// rest of its huge mapping.
std::size_t usable_size(const void* address);

}  // namespace pelmark
