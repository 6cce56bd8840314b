#include "pelmark/thread_heap.h"

#include <atomic>
#include <bit>

#include "pelmark/page_reclaim.h"
#include "platform/invariant_failure.h"

namespace pelmark {

namespace {

std::atomic<std::uint64_t> g_next_heap_serial{1};  // any thread; only uniqueness matters

bool page_has_room(const PageRecord& page) {
  return page.local_free != nullptr || page.bump < class_blocks_per_page(page.size_class);
}

class ReentrancyGuard {
 public:
  explicit ReentrancyGuard(bool& flag) : flag_(flag) { flag_ = true; }
  ~ReentrancyGuard() { flag_ = false; }
  ReentrancyGuard(const ReentrancyGuard&) = delete;
  ReentrancyGuard& operator=(const ReentrancyGuard&) = delete;

 private:
  bool& flag_;
};

// Current segments keep the in-use bits of pages that ran empty (so that a
// page being refilled does not flicker in and out of the mask); a segment
// that stops being current drops them.
void drop_empty_pages_from_in_use(SegmentHeader& segment) {
  std::uint32_t mask = segment.pages_in_use;
  while (mask != 0) {
    const auto slot = static_cast<std::uint32_t>(std::countr_zero(mask));
    mask &= mask - 1;
    if (segment.pages[slot].used == 0) segment.pages_in_use &= ~(std::uint32_t{1} << slot);
  }
}

}  // namespace

ThreadHeap::ThreadHeap(Arena& arena) noexcept
    : arena_(arena), serial_(g_next_heap_serial.fetch_add(1, std::memory_order_relaxed)) {
  const std::uint64_t epoch = arena_.statistics().epoch();
  for (ClassBatch& batch : class_batches_) batch.epoch = epoch;
}

// --- statistics -------------------------------------------------------------

void ThreadHeap::flush_class_batch(std::uint32_t size_class) noexcept {
  ClassBatch& batch = class_batches_[size_class];
  if (batch.count != 0) arena_.statistics().add_class_batch(size_class, batch.count, batch.bytes, batch.epoch);
  batch.count = 0;
  batch.bytes = 0;
  batch.epoch = arena_.statistics().epoch();
}

std::uint32_t ThreadHeap::reclaim(PageRecord& page) noexcept {
  const std::uint32_t taken = reclaim_remote_frees(page);
  counters_.blocks_reclaimed += taken;
  return taken;
}

// --- lists ------------------------------------------------------------------

PageList& ThreadHeap::list_of(const PageRecord& page) noexcept {
  switch (page.list_state) {
    case ListState::kAvailable:
      return available_[page.size_class];
    case ListState::kFull:
      return full_[page.size_class];
    case ListState::kEmpty:
    case ListState::kUnlinked:
      break;
  }
  return empty_;
}

void ThreadHeap::link(PageRecord& page, ListState state, bool at_front) noexcept {
  page.list_state = state;
  PageList& list = list_of(page);
  if (at_front) list.push_front(page); else list.push_back(page);
  segment_of(page)->pages_in_lists |= page_bit(page);
}

void ThreadHeap::unlink(PageRecord& page) noexcept {
  if (page.list_state == ListState::kUnlinked) return;
  list_of(page).remove(page);
  page.list_state = ListState::kUnlinked;
  segment_of(page)->pages_in_lists &= ~page_bit(page);
}

bool ThreadHeap::is_only_available_page(const PageRecord& page) const noexcept {
  const PageList& list = available_[page.size_class];
  return page.list_state == ListState::kAvailable && list.head == &page && list.tail == &page;
}

void* ThreadHeap::flush_class_batch_and_return(std::uint32_t size_class, void* block) noexcept {
  flush_class_batch(size_class);
  return block;
}

// --- slow path of allocate --------------------------------------------------

void* ThreadHeap::allocate_slow(std::size_t size, std::size_t alignment) {
  return allocate_slow(size_class_for(size, alignment), size, alignment);
}

void* ThreadHeap::allocate_slow(std::uint32_t size_class, std::size_t size, std::size_t alignment) {
  if (!is_power_of_two(alignment)) return nullptr;
  // Nested requests (from inside the slow path) and sizes or alignments no
  // class serves take the huge path.
  if (size_class < kClassCount && !reentrant_) {
    void* block;
    {
      ReentrancyGuard guard(reentrant_);
      block = allocate_from_pages(size_class);
    }
    if (block != nullptr) {
      count_class_allocation(size_class, size);
      return block;
    }
  }
  return arena_.huge_allocate(size, alignment);
}

void* ThreadHeap::allocate_from_pages(std::uint32_t size_class) {
  note_slow_event();
  for (;;) {
    PageRecord* page = refill_from_available(size_class);
    if (page == nullptr) page = reclaim_from_full(size_class);
    if (page == nullptr) page = reuse_empty_page(size_class);
    if (page == nullptr) page = carve_unused_slot(size_class);
    if (page != nullptr) return take_block(*page);
    // An adopted segment may bring pages of this class, so look again.
    if (!take_segment_from_arena()) return nullptr;
  }
}

PageRecord* ThreadHeap::refill_from_available(std::uint32_t size_class) {
  while (PageRecord* page = available_[size_class].head) {
    if (page_has_room(*page)) return page;
    if (has_remote_frees(*page) && reclaim(*page) != 0) {
      platform::ensure(page->local_free != nullptr,
                       "invariant: reclaimed remote frees populate the page-local free list");
      return page;
    }
    unlink(*page);
    link(*page, ListState::kFull, false);
  }
  return nullptr;
}

PageRecord* ThreadHeap::reclaim_from_full(std::uint32_t size_class) noexcept {
  PageRecord* page = full_[size_class].head;
  for (std::uint32_t visited = 0; page != nullptr && visited < kFullPagesScanned; ++visited) {
    PageRecord* next = page->next;
    if (has_remote_frees(*page) && reclaim(*page) != 0) {
      unlink(*page);
      link(*page, ListState::kAvailable, true);
      return page;
    }
    page = next;
  }
  return nullptr;
}

PageRecord* ThreadHeap::reuse_empty_page(std::uint32_t size_class) noexcept {
  // Prefer a page whose segment is otherwise in use: segments whose pages
  // all stay empty can then go back to the arena.
  PageRecord* chosen = nullptr;
  PageRecord* page = empty_.head;
  for (std::uint32_t visited = 0; page != nullptr && visited < kEmptyPagesScanned; ++visited) {
    if ((segment_of(*page)->pages_in_use & ~page_bit(*page)) != 0) {
      chosen = page;
      break;
    }
    page = page->next;
  }
  if (chosen == nullptr) chosen = empty_.head;
  if (chosen == nullptr) return nullptr;
  unlink(*chosen);
  init_page(*chosen, size_class);
  return chosen;
}

PageRecord* ThreadHeap::carve_unused_slot(std::uint32_t size_class) noexcept {
  if (current_ == nullptr || next_unused_slot_ >= kPagesPerSegment) return nullptr;
  PageRecord& page = current_->pages[next_unused_slot_++];
  init_page(page, size_class);
  return &page;
}

void ThreadHeap::init_page(PageRecord& page, std::uint32_t size_class) noexcept {
  // An empty page has no live block, so no remote free can be pending.
  check_integrity(page.used == 0 && page.remote_free.load(std::memory_order_relaxed) == 0);
  SegmentHeader* segment = segment_of(page);
  if (segment->is_current == 0) segment->pages_in_use &= ~page_bit(page);
  page.local_free = nullptr;
  page.second_local_free = nullptr;
  page.bump = 0;
  page.block_size = class_block_size(size_class);
  page.size_class = static_cast<std::uint8_t>(size_class);
  link(page, ListState::kAvailable, true);
  ++counters_.pages_initialised;
}

bool ThreadHeap::take_segment_from_arena() noexcept {
  const AcquiredSegment acquired = arena_.acquire_segment();
  switch (acquired.origin) {
    case SegmentOrigin::kFailed:
      return false;
    case SegmentOrigin::kAdopted:
      adopt_segment(*acquired.segment);
      return true;
    case SegmentOrigin::kReused:
      ++counters_.segments_reused;
      break;
    case SegmentOrigin::kFresh:
      ++counters_.segments_mapped;
      break;
  }
  own_segment(*acquired.segment);
  make_current(*acquired.segment);
  next_unused_slot_ = kFirstBlockSlot;
  return true;
}

// --- segments ---------------------------------------------------------------

void ThreadHeap::own_segment(SegmentHeader& segment) noexcept {
  segment.owner_heap.store(this, std::memory_order_relaxed);
  segment.owner_thread_id.store(serial_, std::memory_order_relaxed);
  segment.prev = nullptr;
  segment.next = owned_head_;
  if (owned_head_ != nullptr) owned_head_->prev = &segment;
  owned_head_ = &segment;
  ++owned_count_;
}

void ThreadHeap::disown_segment(SegmentHeader& segment) noexcept {
  for (std::uint32_t slot = kFirstBlockSlot; slot < kPagesPerSegment; ++slot) unlink(segment.pages[slot]);
  if (segment.prev != nullptr) segment.prev->next = segment.next; else owned_head_ = segment.next;
  if (segment.next != nullptr) segment.next->prev = segment.prev;
  segment.prev = nullptr;
  segment.next = nullptr;
  --owned_count_;
  if (current_ == &segment) {
    current_ = nullptr;
    next_unused_slot_ = kPagesPerSegment;
  }
  segment.is_current = 0;
  segment.owner_heap.store(nullptr, std::memory_order_relaxed);
  segment.owner_thread_id.store(0, std::memory_order_relaxed);
}

void ThreadHeap::make_current(SegmentHeader& segment) noexcept {
  if (current_ != nullptr) {
    current_->is_current = 0;
    drop_empty_pages_from_in_use(*current_);
  }
  current_ = &segment;
  segment.is_current = 1;
}

void ThreadHeap::adopt_segment(SegmentHeader& segment) noexcept {
  ++counters_.segments_adopted;
  own_segment(segment);
  segment.pages_in_lists = 0;
  // Pages are carved in slot order, so the slots after the last carved one
  // are still unused.
  std::uint32_t last_carved = 0;
  for (std::uint32_t slot = kFirstBlockSlot; slot < kPagesPerSegment; ++slot) {
    PageRecord& page = segment.pages[slot];
    if (page.block_size == 0) continue;
    last_carved = slot;
    page.list_state = ListState::kUnlinked;
    page.next = nullptr;
    page.prev = nullptr;
    if (has_remote_frees(page)) reclaim(page);
    if (page.used == 0) {
      segment.pages_in_use &= ~page_bit(page);
      link(page, ListState::kEmpty, false);
    } else {
      segment.pages_in_use |= page_bit(page);
      link(page, page_has_room(page) ? ListState::kAvailable : ListState::kFull, false);
    }
  }
  make_current(segment);
  next_unused_slot_ = last_carved + 1;
}

// --- local free -------------------------------------------------------------

void ThreadHeap::after_local_free(PageRecord& page) noexcept {
  SegmentHeader* segment = segment_of(page);
  const bool in_current_segment = segment->is_current != 0;
  if (page.used != 0) {
    // A full page got room again.
    unlink(page);
    link(page, ListState::kAvailable, false);
    return;
  }
  if (!in_current_segment) segment->pages_in_use &= ~page_bit(page);
  if (page.list_state == ListState::kAvailable) {
    if (!in_current_segment && !is_only_available_page(page)) {
      unlink(page);
      link(page, ListState::kEmpty, false);
    }
  } else if (page.list_state == ListState::kFull) {
    unlink(page);
    link(page, in_current_segment ? ListState::kAvailable : ListState::kEmpty, false);
  }
  note_slow_event();
}

// --- collection -------------------------------------------------------------

void ThreadHeap::collect() noexcept {
  SegmentHeader* segment = owned_head_;
  while (segment != nullptr) {
    SegmentHeader* next = segment->next;
    if (segment != current_) collect_segment(*segment);
    segment = next;
  }
}

void ThreadHeap::collect_segment(SegmentHeader& segment) noexcept {
  std::uint32_t mask = segment.pages_in_use;
  while (mask != 0) {
    PageRecord& page = segment.pages[std::countr_zero(mask)];
    mask &= mask - 1;
    if (has_remote_frees(page)) reclaim(page);
    if (page.used != 0) continue;
    segment.pages_in_use &= ~page_bit(page);
    if (page.list_state != ListState::kEmpty && !is_only_available_page(page)) {
      unlink(page);
      link(page, ListState::kEmpty, false);
    }
  }
  if (segment.pages_in_use != 0 || owned_count_ < kKeptSegments) return;
  disown_segment(segment);
  arena_.release_segment(&segment);
}

// --- thread exit ------------------------------------------------------------

ThreadHeap::~ThreadHeap() {
  for (std::uint32_t size_class = 0; size_class < kClassCount; ++size_class) flush_class_batch(size_class);
  if (current_ != nullptr) {
    current_->is_current = 0;
    drop_empty_pages_from_in_use(*current_);
  }
  SegmentHeader* abandoned_first = nullptr;
  SegmentHeader* abandoned_last = nullptr;
  std::uint64_t abandoned_count = 0;
  while (SegmentHeader* segment = owned_head_) {
    disown_segment(*segment);
    std::uint32_t mask = segment->pages_in_use;
    while (mask != 0) {
      PageRecord& page = segment->pages[std::countr_zero(mask)];
      mask &= mask - 1;
      if (has_remote_frees(page)) reclaim(page);
    }
    if (segment->pages_in_use == 0 && arena_.release_segment_without_waiting(segment)) continue;
    // Live blocks stay valid: their frees take the remote path until another
    // heap adopts the segment.
    segment->pool_link = pool_link_of(abandoned_first);
    abandoned_first = segment;
    if (abandoned_last == nullptr) abandoned_last = segment;
    ++abandoned_count;
  }
  if (abandoned_count != 0) arena_.abandon_segments(abandoned_first, abandoned_last, abandoned_count);
}

}  // namespace pelmark
