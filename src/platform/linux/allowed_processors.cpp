#include "platform/allowed_processors.h"

#include <sched.h>

#include <cerrno>

namespace platform {

std::optional<std::uint64_t> allowed_processor_count() noexcept {
  // Grow the set until the kernel's mask fits (machines beyond CPU_SETSIZE).
  for (std::size_t cpus = 1024; cpus <= (std::size_t{1} << 20); cpus *= 2) {
    cpu_set_t* set = CPU_ALLOC(cpus);
    if (set == nullptr) return std::nullopt;
    const std::size_t bytes = CPU_ALLOC_SIZE(cpus);
    CPU_ZERO_S(bytes, set);
    if (sched_getaffinity(0, bytes, set) == 0) {
      const int count = CPU_COUNT_S(bytes, set);
      CPU_FREE(set);
      if (count <= 0) return std::nullopt;
      return static_cast<std::uint64_t>(count);
    }
    const int error = errno;
    CPU_FREE(set);
    if (error != EINVAL) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace platform
