#include "platform/system_time.h"

#include <time.h>

namespace platform {

std::uint64_t nanoseconds_since_unix_epoch() noexcept {
  timespec now{};
  if (clock_gettime(CLOCK_REALTIME, &now) != 0) return 0;
  return static_cast<std::uint64_t>(now.tv_sec) * 1000000000u + static_cast<std::uint64_t>(now.tv_nsec);
}

}  // namespace platform
