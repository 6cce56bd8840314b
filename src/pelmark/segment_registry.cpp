#include "pelmark/segment_registry.h"

#include <atomic>

#include "pelmark/integrity_trap.h"

namespace pelmark {

namespace {

constexpr std::uint32_t kSegmentShift = 21;
static_assert((std::size_t{1} << kSegmentShift) == kSegmentSize);
constexpr std::uint64_t kSegmentSlots = (kAddressMask + 1) >> kSegmentShift;
constexpr std::uint32_t kBitsPerEntry = 2;
constexpr std::uint32_t kEntriesPerWord = 64 / kBitsPerEntry;
constexpr std::uint64_t kEntryMask = (std::uint64_t{1} << kBitsPerEntry) - 1;

// Zero-initialised static storage: the system backs a page only once an
// entry in it is written, so the cost follows the addresses in use.
constinit std::atomic<std::uint64_t> g_entries[kSegmentSlots / kEntriesPerWord]{};

struct EntryPosition {
  std::atomic<std::uint64_t>* word;
  std::uint32_t shift;
};

// Null word for addresses that are not a segment start inside the 48-bit
// user range.
EntryPosition position_of(const void* segment_start) noexcept {
  const auto address = reinterpret_cast<std::uintptr_t>(segment_start);
  if ((address & kSegmentMask) != 0 || address > kAddressMask) return {nullptr, 0};
  const std::uint64_t slot = address >> kSegmentShift;
  return {&g_entries[slot / kEntriesPerWord],
          static_cast<std::uint32_t>(slot % kEntriesPerWord) * kBitsPerEntry};
}

std::uint64_t entry_bits(SegmentKind kind, std::uint32_t shift) {
  return static_cast<std::uint64_t>(kind) << shift;
}

}  // namespace

SegmentKind registered_kind(const void* segment_start) noexcept {
  const EntryPosition at = position_of(segment_start);
  if (at.word == nullptr) return SegmentKind::kUnknown;
  // Acquire pairs with the release of register_segment: a thread that sees
  // the entry also sees the header written before it.
  return static_cast<SegmentKind>((at.word->load(std::memory_order_acquire) >> at.shift) & kEntryMask);
}

void register_segment(const SegmentHeader* segment, SegmentKind kind) noexcept {
  const EntryPosition at = position_of(segment);
  check_integrity(at.word != nullptr && kind != SegmentKind::kUnknown);
  const std::uint64_t before = at.word->fetch_or(entry_bits(kind, at.shift), std::memory_order_release);
  check_integrity(((before >> at.shift) & kEntryMask) == 0);
}

bool unregister_segment(const SegmentHeader* segment, SegmentKind kind) noexcept {
  const EntryPosition at = position_of(segment);
  if (at.word == nullptr) return false;
  const std::uint64_t mask = kEntryMask << at.shift;
  std::uint64_t word = at.word->load(std::memory_order_relaxed);
  do {
    if ((word & mask) != entry_bits(kind, at.shift)) return false;
  } while (!at.word->compare_exchange_weak(word, word & ~mask, std::memory_order_acq_rel,
                                           std::memory_order_relaxed));
  return true;
}

}  // namespace pelmark
