#pragma once
// The bookkeeping of one 64 KiB page, kept in its segment's header.
//
// Ownership: every field except `remote_free` belongs to the thread heap
// that owns the segment (or to whoever holds the segment while it is
// unowned: a pool lock holder or the exiting thread). Other threads only
// read `block_size` of a page whose block they hold -- it cannot change while
// that block is live -- and push onto `remote_free`.

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "pelmark/segment_geometry.h"

namespace pelmark {

enum class ListState : std::uint8_t {
  kUnlinked = 0,
  kAvailable = 1,  // in its class's available list (the head is the class's current page)
  kFull = 2,       // in its class's full list
  kEmpty = 3,      // in the heap's empty-page list
};

struct PageRecord {
  void* local_free = nullptr;   // owner's free list; each free block stores the next address
  void* second_local_free = nullptr;  // kept for layout; never used
  // Blocks freed by other threads: low 48 bits the most recently pushed
  // block, high 16 bits how many blocks the chain holds. Written by any
  // freeing thread with a release compare-and-swap (the block's link must be
  // visible with it); only the owner swaps it back to 0, with acquire, before
  // walking the chain.
  std::atomic<std::uint64_t> remote_free{0};
  PageRecord* next = nullptr;   // links in the owner heap's list that holds the page
  PageRecord* prev = nullptr;
  std::uint32_t block_size = 0;  // 0: unused slot, or a huge allocation's payload page
  std::uint32_t used = 0;        // blocks handed out and not yet freed (remote ones included)
  std::uint32_t bump = 0;        // blocks ever carved from the never-used tail of the page
  std::uint8_t size_class = 0;
  ListState list_state = ListState::kUnlinked;
  std::uint8_t slot = 0;         // page index inside the segment, 0..31
  std::uint8_t reserved = 0;
};

static_assert(sizeof(PageRecord) == 56);

inline constexpr std::uint32_t kRemoteCountShift = 48;

constexpr std::uint64_t remote_word(std::uint64_t count, std::uintptr_t head) {
  return (count << kRemoteCountShift) | (head & kAddressMask);
}
constexpr std::uintptr_t remote_head(std::uint64_t word) { return word & kAddressMask; }
constexpr std::uint64_t remote_count(std::uint64_t word) { return word >> kRemoteCountShift; }

}  // namespace pelmark
