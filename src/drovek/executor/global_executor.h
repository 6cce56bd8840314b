#pragma once
// The process-wide executor: created on first use with one worker per
// logical processor the process may run on (or as many as KAVO_NUM_THREADS
// says; see global_worker_count.h), and alive until the process ends. A
// child made by fork() starts without one: its first use creates its own.
// A KAVO_NUM_THREADS that is set but ignored is said once per process on
// standard error, when the count is first read.

#include <new>

#include "drovek/executor/executor.h"

namespace drovek {

// What global_executor() throws when the system refuses the memory or a
// thread the pool needs. It is a std::bad_alloc, so callers treat it like
// any refused allocation (the Python module raises MemoryError); nothing of
// the attempt is left running, and a later call tries again.
class ExecutorResourcesRefused : public std::bad_alloc {
 public:
  const char* what() const noexcept override { return "the system refused memory or a thread for the executor"; }
};

// Creates the executor on the first call (once per process, even under
// concurrent first calls) and returns it. Refused memory or threads throw
// ExecutorResourcesRefused; any other construction error is an internal
// invariant failure "initialize global Drovek executor: {debug}".
const Executor& global_executor();

// Workers of the process-wide executor, or as many as it would get if it
// were created now; does not create it.
std::uint64_t global_executor_worker_count();

// The process-wide executor if some call has created it, else null.
const Executor* global_executor_if_created() noexcept;

// The configuration the process-wide executor is built from, for a machine
// with `logical_processors` processors (at least 1 worker).
ExecutorConfig global_executor_config(std::uint64_t logical_processors);

// Builds an executor from `config`, turning an error into the exception or
// invariant failure above.
Executor create_global_executor(ExecutorConfig config);

}  // namespace drovek
