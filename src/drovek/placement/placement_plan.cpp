#include "drovek/placement/placement_plan.h"

#include "vendral/topology.h"

namespace drovek {

std::expected<PlacementPlan, ExecutorError> placement_plan_from(const std::vector<std::uint32_t>& processor_nodes,
                                                                std::uint64_t worker_count) {
  // Walking the table by id yields the pairs already in ascending id order.
  PlacementPlan listed;
  for (std::size_t id = 0; id < processor_nodes.size(); ++id) {
    if (processor_nodes[id] != vendral::kNoNode) {
      listed.push_back({processor_nodes[id], static_cast<std::uint32_t>(id)});
    }
  }
  if (listed.empty()) return std::unexpected(ExecutorError::InvalidConfiguration{});
  PlacementPlan plan;
  plan.reserve(worker_count);
  for (std::uint64_t i = 0; i < worker_count; ++i) plan.push_back(listed[i % listed.size()]);
  return plan;
}

std::expected<PlacementPlan, ExecutorError> placement_plan(std::uint64_t worker_count) {
  return placement_plan_from(vendral::probe_topology().processor_nodes, worker_count);
}

}  // namespace drovek
