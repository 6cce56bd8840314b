#include "drovek/scheduler/quiescence.h"

namespace drovek {
namespace {
constexpr std::uint32_t kQuiescencePollMs = 10;
}

bool is_quiescent(const SchedulerCore& core) noexcept {
  return core.queued.value.load(std::memory_order_seq_cst) == 0 &&
         core.running.value.load(std::memory_order_seq_cst) == 0 &&
         core.activity_blocked.value.load(std::memory_order_seq_cst) == 0 &&
         core.activity_external.value.load(std::memory_order_seq_cst) == 0;
}

void notify_if_quiescent(SchedulerCore& core) {
  std::lock_guard lock(core.completion.mutex);
  if (is_quiescent(core)) core.completion.notify_all_locked();
}

void wait_until_quiescent(SchedulerCore& core) {
  // Raised before the check so that the last running job cannot miss us:
  // it decrements running, then reads idle_waiters.
  core.idle_waiters.value.fetch_add(1, std::memory_order_seq_cst);
  for (;;) {
    std::uint32_t observed = 0;
    {
      std::lock_guard lock(core.completion.mutex);
      if (is_quiescent(core)) break;
      observed = core.completion.prepare_wait_locked();
    }
    // Timed: a refused submission lowers queued without any job running, so
    // no runner announces that quiescence.
    core.completion.wait_for_ms(observed, kQuiescencePollMs);
  }
  core.idle_waiters.value.fetch_sub(1, std::memory_order_seq_cst);
}

}  // namespace drovek
