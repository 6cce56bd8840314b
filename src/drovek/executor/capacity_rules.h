#pragma once
// How executor construction derives its per-worker capacities from the
// configuration. Pure functions, checked in this order by Executor::create.

#include <cstdint>
#include <expected>

#include "drovek/error/executor_error.h"

namespace drovek {

// Deque storages admit capacities below 2^56; requests above 2^55 would
// round up to 2^56 or past 64 bits.
inline constexpr std::uint64_t kLargestLocalQueueRequest = std::uint64_t{1} << 55;
// Every deque starts with at least this many slots.
inline constexpr std::uint64_t kMinimumDequeCapacity = 16;

// The configured count, or 1 when it is 0.
std::uint64_t effective_worker_count(std::uint64_t configured) noexcept;

// total / workers rounded down to a power of two; below 2 slots per worker
// is InvalidConfiguration. `workers` is an effective count (at least 1).
std::expected<std::uint64_t, ExecutorError> per_worker_admission_capacity(std::uint64_t total,
                                                                          std::uint64_t workers);

// The next power of two >= requested (0 and 1 count as 1), at least 16.
// Above 2^55: InvalidLocalQueueInitialCapacity { requested }.
std::expected<std::uint64_t, ExecutorError> local_deque_capacity(std::uint64_t requested);

}  // namespace drovek
