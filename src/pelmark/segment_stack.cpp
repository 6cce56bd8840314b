#include "pelmark/segment_stack.h"

#include "pelmark/integrity_trap.h"

namespace pelmark {

namespace {

constexpr std::uint32_t kTagShift = 48;

std::uint64_t next_tag(std::uint64_t head) { return ((head >> kTagShift) + 1) << kTagShift; }

}  // namespace

std::uint64_t pool_link_of(const SegmentHeader* segment) noexcept {
  const auto address = reinterpret_cast<std::uint64_t>(segment);
  check_integrity(address <= kAddressMask);
  return address;
}

SegmentHeader* segment_from_link(std::uint64_t link) noexcept {
  check_integrity(link <= kAddressMask && link % kSegmentSize == 0);
  return reinterpret_cast<SegmentHeader*>(link);
}

void SegmentStack::push_chain(SegmentHeader* first, SegmentHeader* last) noexcept {
  const std::uint64_t top = pool_link_of(first);
  std::uint64_t head = head_.load(std::memory_order_relaxed);
  do {
    last->pool_link = head & kAddressMask;
  } while (!head_.compare_exchange_weak(head, next_tag(head) | top, std::memory_order_relaxed));
}

SegmentHeader* SegmentStack::pop() noexcept {
  std::uint64_t head = head_.load(std::memory_order_relaxed);
  SegmentHeader* top;
  std::uint64_t link;
  do {
    if ((head & kAddressMask) == 0) return nullptr;
    top = segment_from_link(head & kAddressMask);
    link = top->pool_link;
    segment_from_link(link);  // traps on a corrupt link
  } while (!head_.compare_exchange_weak(head, next_tag(head) | link, std::memory_order_relaxed));
  top->pool_link = 0;
  return top;
}

SegmentHeader* SegmentStack::take_all() noexcept {
  std::uint64_t head = head_.load(std::memory_order_relaxed);
  while (!head_.compare_exchange_weak(head, next_tag(head), std::memory_order_relaxed)) {
  }
  const std::uint64_t top = head & kAddressMask;
  return top == 0 ? nullptr : segment_from_link(top);
}

}  // namespace pelmark
