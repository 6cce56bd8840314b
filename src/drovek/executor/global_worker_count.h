#pragma once
// How many workers the process-wide executor gets: KAVO_NUM_THREADS when it
// is set and valid, else one per logical processor the process may run on
// (its affinity mask), else one per logical processor the topology probe
// found. Never fewer than one.

#include <cstdint>
#include <optional>

namespace drovek {

// `setting`: the parsed KAVO_NUM_THREADS; `allowed`: the affinity-mask count
// (nullopt or 0 when the system cannot tell); `probed`: the topology probe's
// count, consulted only when neither of the others gives one.
std::uint64_t global_worker_count(std::optional<std::uint64_t> setting, std::optional<std::uint64_t> allowed,
                                  std::uint64_t probed) noexcept;

// Whether global_worker_count would consult `probed`: lets the caller skip
// the probe when the answer does not depend on it.
bool global_worker_count_needs_probe(std::optional<std::uint64_t> setting,
                                     std::optional<std::uint64_t> allowed) noexcept;

}  // namespace drovek
