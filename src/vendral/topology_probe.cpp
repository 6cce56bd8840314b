#include "vendral/topology_probe.h"

#include <algorithm>
#include <numeric>
#include <utility>

#include "vendral/cache_descriptors.h"
#include "vendral/group_processor_ids.h"

namespace vendral {
namespace {

bool has_processors(const std::vector<platform::GroupAffinity>& groups) {
  return std::any_of(groups.begin(), groups.end(),
                     [](const platform::GroupAffinity& entry) { return entry.mask != 0; });
}

}  // namespace

CpuTopology flat_topology(std::uint32_t processor_count) {
  const std::uint32_t count = std::clamp<std::uint32_t>(processor_count, 1, kMaxProcessorId);
  CpuTopology topology;
  NumaNode node{.id = 0, .processors = std::vector<std::uint32_t>(count)};
  std::iota(node.processors.begin(), node.processors.end(), std::uint32_t{0});
  topology.nodes.push_back(std::move(node));
  topology.processor_nodes.assign(count, 0);
  topology.logical_processor_count = count;
  return topology;
}

CpuTopology probe_topology(const platform::TopologySource& source) noexcept {
  const std::optional<std::uint32_t> highest_node = source.highest_node_number();
  if (!highest_node || *highest_node >= kMaxNodeId) return flat_topology(source.processor_count());

  CpuTopology topology;
  std::optional<std::uint32_t> highest_id;
  for (std::uint32_t node = 0; node <= *highest_node; ++node) {
    const std::vector<platform::GroupAffinity> groups = source.node_processor_masks(node);
    if (!has_processors(groups)) continue;
    std::vector<std::uint32_t> processors = group_processor_ids(groups);
    for (const std::uint32_t id : processors) highest_id = std::max(highest_id.value_or(0), id);
    topology.nodes.push_back(NumaNode{.id = node, .processors = std::move(processors)});
  }
  if (topology.nodes.empty()) return flat_topology(source.processor_count());

  topology.logical_processor_count = highest_id ? std::uint64_t{*highest_id} + 1 : 1;
  topology.processor_nodes.assign(topology.logical_processor_count, kNoNode);
  for (const NumaNode& node : topology.nodes) {
    for (const std::uint32_t id : node.processors) topology.processor_nodes[id] = node.id;
  }

  if (const auto records = source.cache_records()) topology.caches = cache_descriptors(*records);
  return topology;
}

CpuTopology probe_topology() { return probe_topology(platform::system_topology_source()); }

}  // namespace vendral
