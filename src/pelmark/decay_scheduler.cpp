#include "pelmark/decay_scheduler.h"

#include <algorithm>
#include <new>
#include <utility>

#include "pelmark/process_allocator.h"
#include "pelmark/purge_pass.h"
#include "platform/fork_handlers.h"
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

bool DecayScheduler::spawn() {
  auto thread = spawner_(kDecayThreadName, kDecayThreadStackBytes, [this] { run(); });
  if (!thread) return false;
  thread->detach();
  return true;
}

void DecayScheduler::start() {
  if (started_.exchange(1, std::memory_order_acq_rel) == 0 && !spawn()) {
    platform::fail_invariant("Failed to spawn pelmark-decay thread");
  }
  request_pass();
}

void DecayScheduler::restart_in_child() noexcept {
  // The old ones are abandoned, not destroyed: destroying a condition
  // variable that a vanished thread waits on may wait for that thread.
  new (&mutex_) std::mutex;
  new (&wake_) std::condition_variable;
  pass_requested_ = false;
  if (started_.load(std::memory_order_relaxed) == 0) return;
  try {
    if (spawn()) request_pass();
  } catch (...) {
    // No memory for the thread's start record: the child goes without decay.
  }
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

namespace {

// Set once the process scheduler exists; read by the fork handler, which
// must not wait on the first-use guard below (a thread of the parent may
// have been inside it at the fork).
std::atomic<DecayScheduler*> g_process_scheduler{nullptr};

void restart_decay_in_child() noexcept {
  if (DecayScheduler* scheduler = g_process_scheduler.load(std::memory_order_acquire)) scheduler->restart_in_child();
}

DecayScheduler& process_scheduler() {
  static DecayScheduler* const scheduler = [] {
    auto* created = new DecayScheduler([] { purge_pass(process_arena()); }, process_settings());
    g_process_scheduler.store(created, std::memory_order_release);
    // Registered after the arena's handlers, so in the child it runs after
    // the pool locks are released. If the system refuses, a forked child
    // simply has no decay thread.
    (void)platform::register_fork_handlers(nullptr, nullptr, &restart_decay_in_child);
    return created;
  }();
  return *scheduler;
}

}  // namespace

void start_decay() { process_scheduler().start(); }

}  // namespace pelmark
