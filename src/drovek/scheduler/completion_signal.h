#pragma once
// CompletionSignal: one per scheduler, shared by every completion latch of
// its parallel calls and by the quiescence wait. A condition word plus a
// mutex: a notifier changes its condition, bumps the word and wakes every
// waiter, all under the mutex; a waiter checks its condition and reads the
// word under the mutex, then sleeps only while the word is unchanged. Waiters
// re-check their own condition after every wake-up (wake-ups are broadcast).

#include <atomic>
#include <cstdint>
#include <mutex>

namespace drovek {

struct CompletionSignal {
  std::mutex mutex;
  // Incremented under `mutex` by notifiers; read under `mutex` by waiters
  // before they sleep on it, which is what makes the wake-up impossible to
  // miss.
  std::atomic<std::uint32_t> word{0};
  // Threads that may be asleep on `word`: raised under `mutex` by a waiter
  // before it releases the mutex to sleep, lowered after it wakes. A
  // notifier, holding the mutex, skips the wake-up system call when it is 0:
  // any later sleeper reads the already bumped word and does not sleep.
  std::atomic<std::uint32_t> sleepers{0};

  // Requires `mutex` held.
  void notify_all_locked() noexcept;
  // Requires `mutex` held: reads the word to sleep on and counts the caller
  // as a sleeper; pass the result to wait() or wait_for_ms() after unlocking.
  std::uint32_t prepare_wait_locked() noexcept;
  // Sleep while `word` still equals `observed`, then stop counting as a
  // sleeper.
  void wait(std::uint32_t observed) noexcept;
  void wait_for_ms(std::uint32_t observed, std::uint32_t timeout_ms) noexcept;
};

}  // namespace drovek
