#include "platform/thread_affinity.h"

#include <pthread.h>
#include <sched.h>

#include <cerrno>

namespace platform {

std::expected<void, int> bind_current_thread_to_processor(std::uint32_t processor) noexcept {
  // A dynamically sized set: processor ids may lie beyond CPU_SETSIZE (1024).
  const std::size_t cpus = static_cast<std::size_t>(processor) + 1;
  cpu_set_t* set = CPU_ALLOC(cpus);
  if (set == nullptr) return std::unexpected(ENOMEM);
  const std::size_t bytes = CPU_ALLOC_SIZE(cpus);
  CPU_ZERO_S(bytes, set);
  CPU_SET_S(processor, bytes, set);
  int error = pthread_setaffinity_np(pthread_self(), bytes, set);
  CPU_FREE(set);
  if (error != 0) return std::unexpected(error);
  return {};
}

}  // namespace platform
