#include "drovek/scheduler/handoff_slot.h"

namespace drovek {

HandoffSlot::~HandoffSlot() {
  if (state_.load(std::memory_order_acquire) == kFull) release_job(job_);
}

bool HandoffSlot::try_put(const Job& job) noexcept {
  std::uint8_t expected = kEmpty;
  if (!state_.compare_exchange_strong(expected, kBusy, std::memory_order_seq_cst)) return false;
  job_ = job;
  state_.store(kFull, std::memory_order_release);
  return true;
}

std::optional<Job> HandoffSlot::take(std::uint8_t via) noexcept {
  // A plain load first: victims are scanned often and are mostly empty, and
  // a failed compare-and-swap would still pull the line in exclusive state.
  if (state_.load(std::memory_order_relaxed) != kFull) return std::nullopt;
  std::uint8_t expected = kFull;
  if (!state_.compare_exchange_strong(expected, via, std::memory_order_seq_cst)) return std::nullopt;
  Job job = job_;
  state_.store(kEmpty, std::memory_order_release);
  return job;
}

std::optional<Job> HandoffSlot::take_as_owner() noexcept { return take(kBusy); }

std::optional<Job> HandoffSlot::take_as_thief() noexcept { return take(kThiefTaking); }

}  // namespace drovek
