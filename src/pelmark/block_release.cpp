#include "pelmark/block_release.h"

#include <atomic>
#include <cstdint>

#include "pelmark/block_poisoning.h"
#include "pelmark/remote_free_mark.h"
#include "pelmark/segment_registry.h"

namespace pelmark {

// Poisoned before the push: once pushed, the owner may reclaim the block and
// hand it out again at any moment. The link writes below then go to poisoned
// memory, hence the attribute.
PELMARK_TOUCHES_FREE_BLOCKS void free_remote(PageRecord& page, void* block) noexcept {
  const auto address = reinterpret_cast<std::uintptr_t>(block);
  check_integrity(address > kSegmentSize && address <= kAddressMask);
  poison_free_block(block, page.block_size);
  auto* words = static_cast<std::uintptr_t*>(block);
  std::uint64_t word = page.remote_free.load(std::memory_order_relaxed);
  std::uint64_t pushed;
  do {
    check_integrity(remote_head(word) != address);
    // A page holds at most 4096 blocks; a count at the field's limit means
    // the list is corrupt.
    check_integrity(remote_count(word) < (std::uint64_t{1} << 16) - 1);
    words[0] = remote_head(word);
    // The mark lets the owner tell, when it reclaims, whether the link was
    // overwritten since: by a local free of the same block, or by a use
    // after free.
    words[1] = remote_free_mark(address, remote_head(word));
    pushed = remote_word(remote_count(word) + 1, address);
    // Release publishes the link just written to the owner's acquire swap.
  } while (!page.remote_free.compare_exchange_weak(word, pushed, std::memory_order_release,
                                                   std::memory_order_relaxed));
}

void release_huge_block(void* payload) noexcept {
  // Claimed before anything else is read: after a first release the mapping
  // may be cached for reuse or already unmapped.
  check_integrity(unregister_segment(segment_of(payload), SegmentKind::kLiveHuge));
  const std::uint64_t back = reinterpret_cast<const std::uint64_t*>(payload)[-1];
  check_integrity(back != 0 && back % kSegmentSize == 0 &&
                  reinterpret_cast<SegmentHeader*>(back) == segment_of(payload));
  Arena* arena = segment_of(payload)->arena;
  check_integrity(arena != nullptr);
  arena->huge_release(payload);
}

void deallocate_page_aligned(ThreadHeap* caller, void* address) noexcept {
  switch (registered_kind(segment_of(address))) {
    case SegmentKind::kLiveHuge:
      release_huge_block(address);
      return;
    case SegmentKind::kArenaSegment:
      deallocate_small_block(caller, address);
      return;
    case SegmentKind::kUnknown:
      break;
  }
  integrity_trap();
}

std::size_t usable_size(const void* address) {
  const SegmentHeader* segment = segment_of(address);
  const PageRecord& page = segment->pages[page_slot_of(address)];
  if (page.block_size != 0) return page.block_size;
  return segment->arena->huge_usable_size(address);
}

}  // namespace pelmark
