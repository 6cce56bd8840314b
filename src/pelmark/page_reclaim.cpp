#include "pelmark/page_reclaim.h"

#include <cstddef>

#include "pelmark/block_poisoning.h"
#include "pelmark/integrity_trap.h"
#include "pelmark/remote_free_mark.h"
#include "pelmark/segment_header.h"
#include "pelmark/size_classes.h"

namespace pelmark {

namespace {

// The free blocks of one page seen so far, one bit per block (a page holds
// at most 4096 blocks of 16 bytes). Adding a block that is not a carved
// block of the page, or one already added, traps: that is a block freed
// twice (locally and remotely, in either order) or a corrupted link.
class FreeBlockSet {
 public:
  explicit FreeBlockSet(const PageRecord& page)
      : start_(reinterpret_cast<std::uintptr_t>(page_start(page))),
        carved_bytes_(std::uintptr_t{page.bump} * page.block_size),
        block_size_(page.block_size) {}

  void add(std::uintptr_t block) noexcept {
    const std::uintptr_t offset = block - start_;
    check_integrity(block >= start_ && offset < carved_bytes_ && offset % block_size_ == 0);
    const std::uintptr_t index = offset / block_size_;
    std::uint64_t& word = bits_[index / 64];
    const std::uint64_t bit = std::uint64_t{1} << (index % 64);
    check_integrity((word & bit) == 0);
    word |= bit;
  }

 private:
  std::uintptr_t start_;
  std::uintptr_t carved_bytes_;
  std::uintptr_t block_size_;
  std::uint64_t bits_[kPageSize / 16 / 64] = {};
};

}  // namespace

// Reads and writes the links of poisoned (free) blocks.
PELMARK_TOUCHES_FREE_BLOCKS std::uint32_t reclaim_remote_frees(PageRecord& page) {
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
  check_integrity(page.block_size != 0 && page.bump <= kPageSize / page.block_size);

  // The local free list first: a remotely freed block found on it was freed
  // twice. This walk is empty on the allocation slow path, which reclaims
  // only pages whose local list ran out.
  FreeBlockSet free_blocks(page);
  std::uint32_t local_length = 0;
  for (auto block = reinterpret_cast<std::uintptr_t>(page.local_free); block != 0;
       block = *reinterpret_cast<const std::uintptr_t*>(block)) {
    free_blocks.add(block);
    ++local_length;
  }
  // Every carved block is either on the local list or counted as used
  // (remote frees stay counted until now); a local list cut short by a
  // remote push over one of its links breaks this.
  check_integrity(local_length + page.used == page.bump);

  std::uintptr_t tail = head;
  std::uint64_t length = 1;
  for (;;) {
    free_blocks.add(tail);
    const auto* words = reinterpret_cast<const std::uintptr_t*>(tail);
    const std::uintptr_t next = words[0];
    check_integrity(words[1] == remote_free_mark(tail, next));
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
