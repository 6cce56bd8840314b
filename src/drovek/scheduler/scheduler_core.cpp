#include "drovek/scheduler/scheduler_core.h"

#include <utility>

#include "drovek/scheduler/thread_state.h"
#include "platform/invariant_failure.h"

namespace drovek {

SchedulerCore::SchedulerCore(std::vector<std::unique_ptr<WorkerRecord>> worker_records,
                             std::vector<std::optional<std::uint64_t>> numa_nodes, std::string base_thread_name)
    : workers(std::move(worker_records)),
      idle_bitmap(workers.size()),
      numa_table(std::move(numa_nodes)),
      thread_name(std::move(base_thread_name)) {
  platform::ensure(numa_table.size() == workers.size(), "invariant: one NUMA table entry per worker");
  thread_handles.reserve(workers.size());
}

// Worker records (and with them every queued job, through its release
// operation) go with the core.
SchedulerCore::~SchedulerCore() = default;

void SchedulerCore::unpark(std::size_t index) noexcept {
  WorkerRecord& record = *workers[index];
  if (record.parker_registered.load(std::memory_order_acquire)) record.parker.unpark();
}

void SchedulerCore::install_lifetime(std::shared_ptr<const ExecutorLifetime> record) {
  std::lock_guard lock(lifetime_mutex_);
  platform::ensure(lifetime_ == nullptr, "invariant: scheduler lifetime owner is installed once");
  lifetime_ = std::move(record);
}

std::shared_ptr<const ExecutorLifetime> SchedulerCore::lifetime() const {
  std::lock_guard lock(lifetime_mutex_);
  return lifetime_;
}

void shutdown(SchedulerCore& core) {
  if (!core.shutting_down.value.exchange(true, std::memory_order_seq_cst)) {
    for (std::size_t i = 0; i < core.worker_count(); ++i) core.unpark(i);
  }
  // A worker cannot join itself (nor wait for peers that may be waiting for
  // it); its threads end on their own once nothing is queued.
  if (this_thread_state().is_worker_of(core)) return;
  std::vector<platform::ThreadHandle> handles;
  {
    std::lock_guard lock(core.thread_handles_mutex);
    handles.swap(core.thread_handles);
  }
  for (platform::ThreadHandle& handle : handles) handle.join();
}

}  // namespace drovek
