#include "pelmark/segment_header.h"

namespace pelmark {

void reset_segment_header(SegmentHeader& segment) {
  for (std::uint32_t i = 0; i < kPagesPerSegment; ++i) {
    segment.page_keys[i] = 0;
    PageRecord& page = segment.pages[i];
    page.local_free = nullptr;
    page.second_local_free = nullptr;
    page.remote_free.store(0, std::memory_order_relaxed);
    page.next = nullptr;
    page.prev = nullptr;
    page.block_size = 0;
    page.used = 0;
    page.bump = 0;
    page.size_class = 0;
    page.list_state = ListState::kUnlinked;
    page.slot = static_cast<std::uint8_t>(i);
    page.reserved = 0;
  }
  segment.owner_heap.store(nullptr, std::memory_order_relaxed);
  segment.owner_thread_id.store(0, std::memory_order_relaxed);
  segment.prev = nullptr;
  segment.next = nullptr;
  segment.pool_link = 0;
  segment.pages_in_use = 0;
  segment.pages_in_lists = 0;
  segment.is_current = 0;
  segment.free_list_encoding = 0;
  segment.huge_mapping_size = 0;
  segment.huge_payload_size = 0;
}

}  // namespace pelmark
