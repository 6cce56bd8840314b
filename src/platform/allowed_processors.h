#pragma once
// How many logical processors the calling thread may run on (its affinity
// mask: Windows GetProcessAffinityMask over every group, sched_getaffinity on
// Linux). A process started under `taskset -c 0` is allowed one.

#include <cstdint>
#include <optional>

namespace platform {

// The number of processors in the calling thread's affinity mask, or
// std::nullopt when the system cannot tell.
std::optional<std::uint64_t> allowed_processor_count() noexcept;

}  // namespace platform
