#pragma once
// The decay thread's schedule: a pass every cadence, and one at once when
// asked. The thread is started on the first request and never exits; it
// waits on a condition variable (steady clock) between passes.
//
// Its own memory comes from the C++ heap (the start record of the thread and
// the function objects), never from pelmark: it is started from inside
// pelmark's allocation slow path, and the pass itself allocates nothing, so
// no pelmark lock is ever held while it waits for memory.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <functional>
#include <mutex>
#include <string>

#include "pelmark/settings.h"
#include "platform/threads.h"

namespace pelmark {

inline constexpr char kDecayThreadName[] = "pelmark-decay";
inline constexpr std::size_t kDecayThreadStackBytes = std::size_t{2} << 20;

using ThreadSpawner = std::move_only_function<std::expected<platform::ThreadHandle, int>(
    std::string name, std::size_t stack_bytes, std::move_only_function<void()> body)>;

// `cadence_ms` after `start`, or the clock's last instant when that does not
// fit (huge cadences wait forever instead of wrapping into the past). A
// cadence of 0 means no periodic pass: only requested ones.
std::chrono::steady_clock::time_point decay_deadline(std::chrono::steady_clock::time_point start,
                                                     std::uint64_t cadence_ms) noexcept;

class DecayScheduler {
 public:
  // `pass` runs on the decay thread; the cadence is read from `settings`
  // before every wait.
  DecayScheduler(std::move_only_function<void()> pass, const SettingsRecord& settings,
                 ThreadSpawner spawner = &platform::spawn_thread);
  DecayScheduler(const DecayScheduler&) = delete;
  DecayScheduler& operator=(const DecayScheduler&) = delete;

  // Starts the thread unless it was started before, then requests a pass. A
  // thread the system refuses is an invariant failure (no retry).
  void start();
  // Makes the thread run a pass as soon as it is free.
  void request_pass();
  // In a child of fork(), where the thread does not exist: starts over with
  // a fresh lock and condition variable (the parent's thread may have held
  // the one or waited on the other) and, when the parent had started the
  // thread, starts the child's own. A thread the system refuses here leaves
  // the child without decay: there is no caller to report to.
  void restart_in_child() noexcept;

 private:
  [[noreturn]] void run();
  // Spawns the thread; false when the system refused it.
  bool spawn();

  std::move_only_function<void()> pass_;
  const SettingsRecord& settings_;
  ThreadSpawner spawner_;
  std::atomic<int> started_{0};
  std::mutex mutex_;
  std::condition_variable wake_;
  bool pass_requested_ = false;  // guarded by mutex_
};

// The process's scheduler over the process arena (created on first use,
// never destroyed: its thread never exits). A child made by fork() after the
// start gets a thread of its own (restart_in_child, from a fork handler).
void start_decay();

}  // namespace pelmark
