#include "pelmark/block_release.h"

#include <atomic>
#include <cstdint>

namespace pelmark {

void free_remote(PageRecord& page, void* block) noexcept {
  const auto address = reinterpret_cast<std::uintptr_t>(block);
  check_integrity(address > kSegmentSize && address <= kAddressMask);
  std::uint64_t word = page.remote_free.load(std::memory_order_relaxed);
  std::uint64_t pushed;
  do {
    check_integrity(remote_head(word) != address);
    // A page holds at most 4096 blocks; a count at the field's limit means
    // the list is corrupt.
    check_integrity(remote_count(word) < (std::uint64_t{1} << 16) - 1);
    *static_cast<std::uintptr_t*>(block) = remote_head(word);
    pushed = remote_word(remote_count(word) + 1, address);
    // Release publishes the link just written to the owner's acquire swap.
  } while (!page.remote_free.compare_exchange_weak(word, pushed, std::memory_order_release,
                                                   std::memory_order_relaxed));
}

void release_huge_block(void* payload) noexcept {
  const std::uint64_t back = reinterpret_cast<const std::uint64_t*>(payload)[-1];
  check_integrity(back != 0 && back % kSegmentSize == 0 &&
                  reinterpret_cast<SegmentHeader*>(back) == segment_of(payload));
  Arena* arena = segment_of(payload)->arena;
  check_integrity(arena != nullptr);
  arena->huge_release(payload);
}

std::size_t usable_size(const void* address) {
  const SegmentHeader* segment = segment_of(address);
  const PageRecord& page = segment->pages[page_slot_of(address)];
  if (page.block_size != 0) return page.block_size;
  return segment->arena->huge_usable_size(address);
}

}  // namespace pelmark
