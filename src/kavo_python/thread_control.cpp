// The thread controls the module exports as plain C functions, so that
// tools that load it as a shared library (threadpoolctl, through
// kavo_python_threadpoolctl.py) can read and set them with no Python API.
//
// kavo_get_num_threads: how many threads one parallel call may run on now:
// the calling thread and the pool's workers (created or not yet), under
// the per-process limit. kavo_set_num_threads: sets that limit; 0 or less
// lifts it. The pool keeps its size either way. Both are safe to call from
// any thread, with or without the interpreter lock.

#include <algorithm>
#include <cstdint>
#include <limits>

#include "drovek/executor/global_executor.h"
#include "drovek/executor/thread_limit.h"
#include "kavo_python/python_headers.h"

extern "C" {

Py_EXPORTED_SYMBOL int kavo_get_num_threads(void) noexcept;
Py_EXPORTED_SYMBOL void kavo_set_num_threads(int threads) noexcept;

}  // extern "C"

namespace {

int as_int(std::uint64_t count) noexcept {
  return static_cast<int>(std::min<std::uint64_t>(count, std::numeric_limits<int>::max()));
}

}  // namespace

int kavo_get_num_threads(void) noexcept {
  try {
    return as_int(drovek::limit_call_threads(drovek::global_executor_worker_count() + 1));
  } catch (...) {
    // Reading the settings allocates, and a caller through ctypes cannot
    // take an exception: report the one thread every call has, the caller.
    return as_int(drovek::limit_call_threads(1));
  }
}

void kavo_set_num_threads(int threads) noexcept {
  drovek::set_call_thread_limit(threads > 0 ? static_cast<std::size_t>(threads) : 0);
}
