#include "platform/system_time.h"

#include <windows.h>

namespace platform {

std::uint64_t nanoseconds_since_unix_epoch() noexcept {
  // FILETIME counts 100-nanosecond intervals since 1601-01-01 UTC.
  constexpr std::uint64_t kUnixEpochIn100ns = 116444736000000000ull;
  FILETIME now{};
  GetSystemTimePreciseAsFileTime(&now);
  const std::uint64_t ticks = (std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
  if (ticks < kUnixEpochIn100ns) return 0;
  return (ticks - kUnixEpochIn100ns) * 100u;
}

}  // namespace platform
