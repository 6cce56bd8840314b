#pragma once
// ExecutorConfig: what an executor is built from. The defaults are those of
// the process-wide executor, except worker_count, which that executor takes
// from the topology probe.

#include <cstdint>
#include <string>

namespace drovek {

struct ExecutorConfig {
  // Base name of the worker threads; worker i is named "{thread_name}-{i}".
  std::string thread_name = "drovek-worker";
  // Number of workers; 0 is treated as 1.
  std::uint64_t worker_count = 1;
  // Admission-ring slots shared out among all workers.
  std::uint64_t admission_capacity_total = 8192;
  // Requested initial capacity of each worker's priority-class-1 deque.
  std::uint64_t local_queue_initial_capacity = 128;
  // Pin every worker to its own logical processor.
  bool pin_workers = false;
};

}  // namespace drovek
