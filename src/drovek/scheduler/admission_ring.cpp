#include "drovek/scheduler/admission_ring.h"

#include <bit>
#include <cstdint>
#include <new>

#include "drovek/scheduler/queue_array.h"
#include "platform/invariant_failure.h"
#include "platform/thread_yield.h"

namespace drovek {
namespace {
constexpr std::uint8_t kEmptyEntry = 0xFF;

std::int64_t signed_difference(std::uint64_t a, std::uint64_t b) noexcept {
  return static_cast<std::int64_t>(a - b);
}
}  // namespace

AdmissionRing::AdmissionRing(std::uint64_t capacity)
    : mask_(capacity - 1), slot_count_(capacity), capacity_(capacity) {
  platform::ensure(capacity >= 2 && std::has_single_bit(capacity),
                   "invariant: admission capacity is a power of two of at least 2");
  Slot* slots = static_cast<Slot*>(allocate_queue_array(slot_count_, sizeof(Slot), alignof(Slot)));
  for (std::uint64_t i = 0; i < slot_count_; ++i) {
    Slot* slot = new (&slots[i]) Slot;
    slot->sequence.store(i, std::memory_order_relaxed);
    slot->priority_class = kEmptyEntry;
  }
  slots_.reset(slots);
}

// Slots are trivially destructible: only the block goes.
void AdmissionRing::SlotArrayRelease::operator()(Slot* slots) const noexcept {
  free_queue_array(slots, alignof(Slot));
}

AdmissionRing::~AdmissionRing() {
  // Only filled slots (sequence = position + 1) still own a job.
  const std::uint64_t tail = tail_.load(std::memory_order_acquire);
  for (std::uint64_t pos = head_.load(std::memory_order_acquire); pos != tail; ++pos) {
    Slot& slot = slots_[pos & mask_];
    if (slot.sequence.load(std::memory_order_acquire) == pos + 1) release_job(slot.job);
  }
}

bool AdmissionRing::full(std::uint64_t tail) const noexcept {
  const std::uint64_t used = tail - head_.load(std::memory_order_seq_cst);
  return used >= capacity_ && used <= slot_count_;
}

bool AdmissionRing::try_push(std::uint8_t priority_class, const Job& job) noexcept {
  std::uint64_t pos = tail_.load(std::memory_order_relaxed);
  std::uint32_t retries = 0;
  for (;;) {
    Slot& slot = slots_[pos & mask_];
    // Acquire: pairs with the consumer's release that freed this slot, so
    // our writes below cannot overtake its read of the previous lap's job.
    const std::uint64_t sequence = slot.sequence.load(std::memory_order_acquire);
    const std::int64_t diff = signed_difference(sequence, pos);
    if (diff == 0) {
      if (full(pos)) return false;
      if (tail_.compare_exchange_weak(pos, pos + 1, std::memory_order_seq_cst)) {
        slot.priority_class = priority_class;
        slot.job = job;
        // Counted before it becomes visible so that a consumer's decrement
        // never precedes it.
        pending_.fetch_add(1, std::memory_order_seq_cst);
        // Release: publishes class and job to the consumer that reads pos+1.
        slot.sequence.store(pos + 1, std::memory_order_release);
        return true;
      }
      // The failed exchange reloaded pos.
    } else if (diff < 0) {
      // The consumer of the previous lap has claimed but not yet freed it.
      if (full(pos)) return false;
      if (++retries % kTriesBeforeYield == 0) platform::yield_thread();
      pos = tail_.load(std::memory_order_relaxed);
    } else {
      pos = tail_.load(std::memory_order_relaxed);
    }
  }
}

std::optional<RingEntry> AdmissionRing::try_pop() noexcept {
  std::uint64_t pos = head_.load(std::memory_order_relaxed);
  for (;;) {
    Slot& slot = slots_[pos & mask_];
    // Acquire: pairs with the producer's release of pos + 1.
    const std::uint64_t sequence = slot.sequence.load(std::memory_order_acquire);
    const std::int64_t diff = signed_difference(sequence, pos + 1);
    if (diff == 0) {
      if (head_.compare_exchange_weak(pos, pos + 1, std::memory_order_seq_cst)) {
        RingEntry entry{slot.priority_class, slot.job};
        slot.priority_class = kEmptyEntry;
        // Release: our reads above happen before the next lap's producer
        // overwrites the slot.
        slot.sequence.store(pos + slot_count_, std::memory_order_release);
        if (entry.priority_class == kEmptyEntry) return std::nullopt;
        return entry;
      }
    } else if (diff < 0) {
      return std::nullopt;
    } else {
      pos = head_.load(std::memory_order_relaxed);
    }
  }
}

}  // namespace drovek
