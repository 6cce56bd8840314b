#pragma once
// WorkDeque: one worker's work-stealing deque. The owner pushes and pops at
// `bottom`; thieves take from `top`.
//
// Follows the Chase-Lev dynamic circular deque (Chase & Lev, "Dynamic
// Circular Work-Stealing Deque", SPAA 2005) with the C11 fence placement of
// Le, Pop, Cohen & Zappa Nardelli ("Correct and Efficient Work-Stealing for
// Weak Memory Models", PPoPP 2013). Departures:
//  - Every slot carries a sequence stamp (see DequeStorage) that acts as a
//    per-slot lock. The owner and thieves serialize on a slot's stamp before
//    touching its job, and thieves copy the job only after winning `top`, so
//    a 128-byte job is never read while it is being overwritten. This also
//    lets the owner's pop skip the fence while more than 16 elements remain:
//    a conflicting thief must hold the same stamp.
//  - Resizing (grow when full, shrink when idle) excludes thieves through the
//    stealer word instead of relying on epoch reclamation: a resize sets bit 0
//    and waits until no thief is inside; thieves add 2 on entry and back off
//    while bit 0 is set. Replaced storages are retired and freed at the next
//    shrink or with the deque.
//  - Thieves take a batch while inside (see steal()), not one job.
//
// Owner-only fields and thief-shared fields sit on separate 128-byte lines.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "drovek/scheduler/deque_storage.h"
#include "drovek/scheduler/job.h"
#include "drovek/scheduler/tuning.h"

namespace drovek {

enum class StealOutcome { Success, Empty, Retry };

class alignas(kIsolationBytes) WorkDeque {
 public:
  // `initial_capacity` is a power of two below 2^56 (16 or more in practice).
  // Memory refused for the first storage throws QueueMemoryRefused; memory
  // refused when growing or shrinking later ends the process with the
  // allocation-failure report (push has no error channel).
  // A deque made inside a pelmark::ProcessLifetimeAllocations scope (the
  // process-wide executor's) marks every storage it ever holds as meant to
  // live for the process, so leak reports leave its queues out.
  explicit WorkDeque(std::uint64_t initial_capacity);
  // Discards positions top ... bottom - 1 through their release operations
  // and frees the current and all retired storages.
  ~WorkDeque();
  WorkDeque(const WorkDeque&) = delete;
  WorkDeque& operator=(const WorkDeque&) = delete;

  // ---- Owner thread only ----
  // Grows first when the deque holds capacity - 1 jobs.
  void push(const Job& job);
  std::optional<Job> pop() noexcept;
  // Returns to the initial capacity when fewer than initial - 1 jobs remain,
  // freeing every retired storage. Called by the owner before it parks.
  void shrink();
  std::uint64_t capacity() const noexcept { return storage_.load(std::memory_order_relaxed)->capacity(); }
  std::uint64_t initial_capacity() const noexcept { return initial_capacity_; }
  std::size_t retired_count() const;

  // ---- Any thread ----
  // Live elements, possibly stale; negative transiently during a pop.
  std::int64_t size_hint() const noexcept;

  // A thief's stay inside the deque: no resize starts while one exists.
  class ThiefSession {
   public:
    explicit ThiefSession(WorkDeque& deque) noexcept;
    ~ThiefSession();
    ThiefSession(const ThiefSession&) = delete;
    ThiefSession& operator=(const ThiefSession&) = delete;

    // One attempt at `top`. Retry means another thread won the race.
    StealOutcome attempt(Job& out) noexcept;
    // Leaves and re-enters, letting a waiting resize run.
    void pause_for_resize() noexcept;

   private:
    void enter() noexcept;
    void leave() noexcept;
    WorkDeque& deque_;
    DequeStorage* storage_ = nullptr;
  };

 private:
  void begin_resize() noexcept;
  void end_resize() noexcept;
  // Replaces the storage by one of `capacity` for start position bottom,
  // copying the live jobs. Requires the resize bit.
  DequeStorage* replace_storage(std::uint64_t capacity);
  void grow();

  // Written only by the owner (plain stores); read by thieves.
  alignas(kIsolationBytes) std::atomic<std::uint64_t> bottom_{0};
  // Advanced only by compare-and-swap (thieves, and the owner on the last
  // element).
  alignas(kIsolationBytes) std::atomic<std::uint64_t> top_{0};
  // Bit 0: a resize is in progress (set and cleared by the owner). Bits 1
  // and up: twice the number of thieves inside. All updates are sequentially
  // consistent read-modify-writes, so the owner setting bit 0 and a thief
  // adding 2 are totally ordered: one of them sees the other.
  alignas(kIsolationBytes) std::atomic<std::uint64_t> stealers_{0};
  // The current storage: written by the owner during a resize (release),
  // read by thieves after entering (acquire).
  alignas(kIsolationBytes) std::atomic<DequeStorage*> storage_;
  std::uint64_t initial_capacity_;
  bool lives_for_process_;
  mutable std::mutex retired_mutex_;
  std::vector<std::unique_ptr<DequeStorage>> retired_;
};

}  // namespace drovek
