#pragma once
// A stack of segments linked through their headers' pool links, with the
// head tagged against reuse of the same address (ABA): low 48 bits the top
// segment, high 16 bits a counter bumped by every push and pop.
//
// Every operation runs under the lock of the pool that owns the stack, so
// the compare-and-swaps never race; the tag still makes a stale head value
// detectable, and the lock orders the plain pool-link writes.

#include <atomic>
#include <cstdint>

#include "pelmark/segment_header.h"

namespace pelmark {

class SegmentStack {
 public:
  // Pushes the chain first..last (already linked through pool_link).
  void push_chain(SegmentHeader* first, SegmentHeader* last) noexcept;
  void push(SegmentHeader* segment) noexcept { push_chain(segment, segment); }
  SegmentHeader* pop() noexcept;
  // Takes the whole stack; the result is the top, linked through pool_link.
  SegmentHeader* take_all() noexcept;
  bool empty() const noexcept { return (head_.load(std::memory_order_relaxed) & kAddressMask) == 0; }

 private:
  // Written only under the owning pool's lock; relaxed suffices because the
  // lock's acquire and release order it with the pool links.
  std::atomic<std::uint64_t> head_{0};
};

// Address stored in a pool link; traps when it does not fit in 48 bits.
std::uint64_t pool_link_of(const SegmentHeader* segment) noexcept;
SegmentHeader* segment_from_link(std::uint64_t link) noexcept;

}  // namespace pelmark
