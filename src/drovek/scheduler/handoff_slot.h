#pragma once
// HandoffSlot: a one-job mailbox in each worker record. A worker that submits
// to itself parks the job here instead of going through its ring; the worker
// takes it first thing in its loop, thieves take it when they find nothing
// else.
//
// States: 0 empty, 1 busy (being written by the submitter or emptied by the
// owner), 2 full, 3 being emptied by a thief. Transitions: 0 -> 1 -> 2
// (submitter), 2 -> 1 -> 0 (owner), 2 -> 3 -> 0 (thief). Every transition out
// of a stable state (0 or 2) is a sequentially consistent compare-and-swap,
// so exactly one thread owns the job bytes at a time; the store that ends a
// transition is a release that publishes (or retires) the job bytes.

#include <atomic>
#include <cstdint>
#include <optional>

#include "drovek/scheduler/job.h"
#include "drovek/scheduler/tuning.h"

namespace drovek {

class alignas(kIsolationBytes) HandoffSlot {
 public:
  HandoffSlot() = default;
  // Discards a job still held.
  ~HandoffSlot();
  HandoffSlot(const HandoffSlot&) = delete;
  HandoffSlot& operator=(const HandoffSlot&) = delete;

  // Stores `job` when the slot is empty; false otherwise.
  bool try_put(const Job& job) noexcept;
  std::optional<Job> take_as_owner() noexcept;
  std::optional<Job> take_as_thief() noexcept;
  bool full() const noexcept { return state_.load(std::memory_order_acquire) == kFull; }

 private:
  static constexpr std::uint8_t kEmpty = 0;
  static constexpr std::uint8_t kBusy = 1;
  static constexpr std::uint8_t kFull = 2;
  static constexpr std::uint8_t kThiefTaking = 3;

  std::optional<Job> take(std::uint8_t via) noexcept;

  std::atomic<std::uint8_t> state_{kEmpty};
  Job job_;
};

}  // namespace drovek
