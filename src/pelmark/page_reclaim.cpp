#include "pelmark/page_reclaim.h"

#include <cstddef>

#include "pelmark/integrity_trap.h"
#include "pelmark/segment_header.h"

namespace pelmark {

std::uint32_t reclaim_remote_frees(PageRecord& page) {
  // Acquire pairs with the release push: every link written before a push is
  // visible once the word that names it has been taken.
  const std::uint64_t word = page.remote_free.exchange(0, std::memory_order_acquire);
  const std::uintptr_t head = remote_head(word);
  const std::uint64_t count = remote_count(word);
  if (head == 0) {
    check_integrity(count == 0);
    return 0;
  }
  check_integrity(page.used >= count);

  const auto start = reinterpret_cast<std::uintptr_t>(page_start(page));
  const std::uintptr_t end = start + kPageSize;
  const auto inside_page = [&](std::uintptr_t block) {
    return block % 16 == 0 && block >= start && block + page.block_size <= end;
  };
  std::uintptr_t tail = head;
  std::uint64_t length = 1;
  for (;;) {
    check_integrity(inside_page(tail));
    const std::uintptr_t next = *reinterpret_cast<const std::uintptr_t*>(tail);
    if (next == 0) break;
    check_integrity(++length <= count);
    tail = next;
  }
  check_integrity(length == count);

  *reinterpret_cast<void**>(tail) = page.local_free;
  page.local_free = reinterpret_cast<void*>(head);
  page.used -= static_cast<std::uint32_t>(count);
  SegmentHeader* segment = segment_of(page);
  if (page.used == 0 && segment->is_current == 0) segment->pages_in_use &= ~page_bit(page);
  return static_cast<std::uint32_t>(count);
}

}  // namespace pelmark
