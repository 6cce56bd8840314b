#include "drovek/scheduler/run_job.h"

#include "drovek/scheduler/quiescence.h"

namespace drovek {

void run_job(SchedulerCore& core, Job& job, std::size_t runner) {
  core.running.value.fetch_add(1, std::memory_order_seq_cst);
  core.queued.value.fetch_sub(1, std::memory_order_seq_cst);
  const bool succeeded = job.run(job, runner);
  (succeeded ? core.completed : core.failed).value.fetch_add(1, std::memory_order_seq_cst);
  const std::uint64_t still_running = core.running.value.fetch_sub(1, std::memory_order_seq_cst) - 1;
  if (still_running == 0 && core.idle_waiters.value.load(std::memory_order_seq_cst) != 0) {
    notify_if_quiescent(core);
  }
}

}  // namespace drovek
