#pragma once
// The topology probe over an explicit source of answers; probe_topology()
// (topology.h) asks the running system.
//
// Nodes are numbered 0 .. highest node number; each node with processors is
// recorded with its processor ids (ids of kMaxProcessorId or more left out,
// so a node may be recorded with none). A processor listed under two nodes
// belongs to the later one. When the system names no nodes, a highest node
// of kMaxNodeId or more, or no node with processors, the probe falls back to
// the flat topology: one node 0 holding processors 0 .. P - 1.

#include <cstdint>

#include "platform/topology_source.h"
#include "vendral/topology.h"

namespace vendral {

CpuTopology probe_topology(const platform::TopologySource& source) noexcept;

// One node 0 holding processors 0 .. P - 1 with no caches. P is
// `processor_count`, at least 1 and at most kMaxProcessorId, so the table
// stays within the id limit every other topology keeps.
CpuTopology flat_topology(std::uint32_t processor_count);

}  // namespace vendral
