#pragma once
// AdmissionRing: the bounded multi-producer multi-consumer ring through which
// other threads hand jobs to one worker. Dmitry Vyukov's bounded MPMC queue:
// each slot carries a sequence number that says whose turn it is, so
// producers and consumers claim positions with one compare-and-swap on
// tail/head and never wait for each other except on a slot a lagging peer
// is still filling or emptying.
//
// Slot i starts with sequence i. A producer may fill position p when its slot
// reads p and publishes p + 1; a consumer may take p when the slot reads
// p + 1 and frees it for the next lap with p + slot_count.
//
// The record also carries the worker's `pending` counter (jobs in this
// worker's ring and deques together), maintained by the scheduler.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <type_traits>

#include "drovek/scheduler/job.h"
#include "drovek/scheduler/tuning.h"

namespace drovek {

struct RingEntry {
  std::uint8_t priority_class = 0;
  Job job;
};

class alignas(kIsolationBytes) AdmissionRing {
 public:
  // `capacity` is a power of two, at least 2. Slot storage that cannot be
  // had throws QueueMemoryRefused (see queue_array.h).
  explicit AdmissionRing(std::uint64_t capacity);
  // Discards every job still held through its release operation.
  ~AdmissionRing();
  AdmissionRing(const AdmissionRing&) = delete;
  AdmissionRing& operator=(const AdmissionRing&) = delete;

  // Copies `job` in; false when the ring is full (the job stays the caller's).
  bool try_push(std::uint8_t priority_class, const Job& job) noexcept;
  // The oldest entry, or nothing when the ring is empty.
  std::optional<RingEntry> try_pop() noexcept;

  std::uint64_t capacity() const noexcept { return capacity_; }

  // Jobs in this worker's ring and deques: raised on every admission,
  // lowered on every pop or steal. Written by submitters, the owner and
  // thieves with sequentially consistent read-modify-writes; readers treat it
  // as a hint (it may briefly lag the queues it describes).
  std::atomic<std::uint64_t>& pending() noexcept { return pending_; }

 private:
  struct alignas(16) Slot {
    std::atomic<std::uint64_t> sequence;
    std::uint8_t priority_class;  // 0xFF: empty entry
    Job job;                      // at offset 16
  };
  static_assert(sizeof(Slot) == 144);
  static_assert(std::is_trivially_destructible_v<Slot>);
  struct SlotArrayRelease {
    void operator()(Slot* slots) const noexcept;
  };

  bool full(std::uint64_t tail) const noexcept;

  // Each end on its own line: producers hammer tail, consumers head. Both
  // advance only by sequentially consistent compare-and-swap; slot contents
  // are published and retired through the slot sequence (release/acquire),
  // so the ends themselves need no stronger ordering.
  alignas(kIsolationBytes) std::atomic<std::uint64_t> pending_{0};
  alignas(kIsolationBytes) std::atomic<std::uint64_t> head_{0};
  alignas(kIsolationBytes) std::atomic<std::uint64_t> tail_{0};
  alignas(kIsolationBytes) std::uint64_t mask_;
  std::uint64_t slot_count_;
  std::uint64_t capacity_;
  std::unique_ptr<Slot[], SlotArrayRelease> slots_;
};

}  // namespace drovek
