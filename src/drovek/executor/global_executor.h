#pragma once
// The process-wide executor: created on first use with one worker per
// logical processor the process may run on (or as many as KAVO_NUM_THREADS
// says; see global_worker_count.h), and alive until the process ends. A
// child made by fork() starts without one: its first use creates its own.
// A KAVO_NUM_THREADS that is set but ignored is said once per process on
// standard error, when the count is first read.

#include "drovek/executor/executor.h"

namespace drovek {

// Creates the executor on the first call (once per process, even under
// concurrent first calls) and returns it. A construction error is an
// internal invariant failure "initialize global Drovek executor: {debug}".
const Executor& global_executor();

// Workers of the process-wide executor, or as many as it would get if it
// were created now; does not create it.
std::uint64_t global_executor_worker_count();

// The process-wide executor if some call has created it, else null.
const Executor* global_executor_if_created() noexcept;

// The configuration the process-wide executor is built from, for a machine
// with `logical_processors` processors (at least 1 worker).
ExecutorConfig global_executor_config(std::uint64_t logical_processors);

// Builds an executor from `config`, turning an error into the invariant
// failure above.
Executor create_global_executor(ExecutorConfig config);

}  // namespace drovek
