#include "platform/sigint_watch.h"

#include <signal.h>

#include <atomic>
#include <cstdint>
#include <cstring>

#include "platform/interrupt.h"

namespace platform {
namespace {

// The handler the watch chains to, in one of two slots: an installation
// fills the slot not in use, then publishes its index, so a handler still
// running on another thread for the previous installation never sees its
// slot rewritten under it (installations are rare and far apart).
struct sigaction g_previous[2];
std::atomic<int> g_current{0};

void on_sigint(int signal, siginfo_t* info, void* context) {
  request_interrupt();
  const struct sigaction& previous = g_previous[g_current.load(std::memory_order_acquire)];
  if ((previous.sa_flags & SA_SIGINFO) != 0) {
    if (previous.sa_sigaction != nullptr) previous.sa_sigaction(signal, info, context);
  } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN && previous.sa_handler != nullptr) {
    previous.sa_handler(signal);
  }
}

bool is_watch(const struct sigaction& action) {
  return (action.sa_flags & SA_SIGINFO) != 0 && action.sa_sigaction == &on_sigint;
}

bool is_handler_function(const struct sigaction& action) {
  if ((action.sa_flags & SA_SIGINFO) != 0) return action.sa_sigaction != nullptr;
  return action.sa_handler != SIG_DFL && action.sa_handler != SIG_IGN;
}

// Taken by the thread that checks and installs; another thread arriving
// meanwhile (or a child forked meanwhile, where it stays taken) goes by the
// last answer instead of waiting.
std::atomic<bool> g_checking{false};
std::atomic<std::int64_t> g_checked_at{INT64_MIN};  // steady-clock ticks of the last check
std::atomic<bool> g_watching{false};

bool install_over_current() {
  struct sigaction current;
  if (sigaction(SIGINT, nullptr, &current) != 0) return false;
  if (is_watch(current)) return true;
  if (!is_handler_function(current)) return false;
  const int slot = 1 - g_current.load(std::memory_order_relaxed);
  g_previous[slot] = current;
  g_current.store(slot, std::memory_order_release);
  struct sigaction watch;
  std::memset(&watch, 0, sizeof watch);
  watch.sa_sigaction = &on_sigint;
  // The previous handler's mask and flags (restart, alternate stack), so it
  // runs as it would have on its own.
  watch.sa_mask = current.sa_mask;
  watch.sa_flags = (current.sa_flags & ~SA_RESETHAND) | SA_SIGINFO;
  return sigaction(SIGINT, &watch, nullptr) == 0;
}

}  // namespace

bool watch_sigint(std::chrono::milliseconds recheck_after) noexcept {
  const std::int64_t now = std::chrono::steady_clock::now().time_since_epoch().count();
  const std::int64_t interval =
      std::chrono::duration_cast<std::chrono::steady_clock::duration>(recheck_after).count();
  const std::int64_t checked_at = g_checked_at.load(std::memory_order_relaxed);
  if (checked_at != INT64_MIN && now - checked_at < interval) return g_watching.load(std::memory_order_relaxed);
  if (g_checking.exchange(true, std::memory_order_acquire)) return g_watching.load(std::memory_order_relaxed);
  const bool watching = install_over_current();
  g_watching.store(watching, std::memory_order_relaxed);
  g_checked_at.store(now, std::memory_order_relaxed);
  g_checking.store(false, std::memory_order_release);
  return watching;
}

}  // namespace platform
