#pragma once
// The current-processor query over an explicit answer; current_processor()
// (topology.h) asks the running system. Nothing is returned when the node is
// unknown, the processor id is kMaxProcessorId or more, or the node is
// kMaxNodeId or more: callers then act as if they did not know.

#include <optional>

#include "platform/topology_source.h"
#include "vendral/topology.h"

namespace vendral {

std::optional<CurrentProcessor> current_processor_from(const platform::RunningProcessor& running);

}  // namespace vendral
