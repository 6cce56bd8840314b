#include "drovek/executor/capacity_rules.h"

#include <algorithm>
#include <bit>

namespace drovek {

std::uint64_t effective_worker_count(std::uint64_t configured) noexcept { return configured == 0 ? 1 : configured; }

std::expected<std::uint64_t, ExecutorError> per_worker_admission_capacity(std::uint64_t total,
                                                                          std::uint64_t workers) {
  const std::uint64_t per_worker = total / effective_worker_count(workers);
  if (per_worker < 2) return std::unexpected(ExecutorError::InvalidConfiguration{});
  return std::bit_floor(per_worker);
}

std::expected<std::uint64_t, ExecutorError> local_deque_capacity(std::uint64_t requested) {
  if (requested > kLargestLocalQueueRequest) {
    return std::unexpected(ExecutorError::InvalidLocalQueueInitialCapacity{requested});
  }
  return std::max(kMinimumDequeCapacity, std::bit_ceil(std::max<std::uint64_t>(requested, 1)));
}

}  // namespace drovek
