#pragma once
// Where pinned workers go: worker i takes the (i mod P)-th of the P listed
// processors in increasing id order, wrapping around when there are more
// workers than processors; its NUMA node feeds the scheduler's same-node
// stealing.

#include <cstdint>
#include <expected>
#include <vector>

#include "drovek/error/executor_error.h"

namespace drovek {

struct PlacementEntry {
  std::uint64_t node = 0;
  std::uint32_t processor = 0;
  bool operator==(const PlacementEntry&) const = default;
};

using PlacementPlan = std::vector<PlacementEntry>;

// From a topology's processor_nodes table (node per processor id, 0xFFFFFFFF
// for ids no node lists). No listed processor: InvalidConfiguration.
std::expected<PlacementPlan, ExecutorError> placement_plan_from(const std::vector<std::uint32_t>& processor_nodes,
                                                                std::uint64_t worker_count);

// Probes the topology and plans for `worker_count` workers.
std::expected<PlacementPlan, ExecutorError> placement_plan(std::uint64_t worker_count);

}  // namespace drovek
