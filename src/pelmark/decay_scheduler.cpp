#include "pelmark/decay_scheduler.h"

#include <algorithm>
#include <utility>

#include "pelmark/process_allocator.h"
#include "pelmark/purge_pass.h"
#include "platform/invariant_failure.h"

namespace pelmark {

std::chrono::steady_clock::time_point decay_deadline(std::chrono::steady_clock::time_point start,
                                                     std::uint64_t cadence_ms) noexcept {
  using std::chrono::milliseconds;
  using std::chrono::steady_clock;
  if (cadence_ms == 0) return steady_clock::time_point::max();
  const steady_clock::duration elapsed = std::max(start.time_since_epoch(), steady_clock::duration::zero());
  const auto room_ms = std::chrono::duration_cast<milliseconds>(steady_clock::duration::max() - elapsed).count();
  if (cadence_ms >= static_cast<std::uint64_t>(room_ms)) return steady_clock::time_point::max();
  return start + milliseconds(static_cast<milliseconds::rep>(cadence_ms));
}

DecayScheduler::DecayScheduler(std::move_only_function<void()> pass, const SettingsRecord& settings,
                               ThreadSpawner spawner)
    : pass_(std::move(pass)), settings_(settings), spawner_(std::move(spawner)) {}

void DecayScheduler::start() {
  if (started_.exchange(1, std::memory_order_acq_rel) == 0) {
    auto thread = spawner_(kDecayThreadName, kDecayThreadStackBytes, [this] { run(); });
    if (!thread) platform::fail_invariant("Failed to spawn pelmark-decay thread");
    thread->detach();
  }
  request_pass();
}

void DecayScheduler::request_pass() {
  {
    std::lock_guard lock(mutex_);
    pass_requested_ = true;
  }
  wake_.notify_one();
}

void DecayScheduler::run() {
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      if (!pass_requested_) {
        // The deadline is fixed when the wait begins: an early wakeup with
        // no request waits again only for the rest.
        const auto deadline =
            decay_deadline(std::chrono::steady_clock::now(), settings_.load().purge_cadence_ms);
        wake_.wait_until(lock, deadline, [this] { return pass_requested_; });
      }
      pass_requested_ = false;
    }
    pass_();
  }
}

void start_decay() {
  static DecayScheduler* const scheduler =
      new DecayScheduler([] { purge_pass(process_arena()); }, process_settings());
  scheduler->start();
}

}  // namespace pelmark
