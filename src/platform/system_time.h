#pragma once
// Wall-clock time, for seeds that only need to differ between runs.

#include <cstdint>

namespace platform {

// Nanoseconds since 1970-01-01 UTC, modulo 2^64; 0 if the clock is unreadable.
std::uint64_t nanoseconds_since_unix_epoch() noexcept;

}  // namespace platform
