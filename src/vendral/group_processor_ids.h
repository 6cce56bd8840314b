#pragma once
// Processor ids named by per-group masks: for each group entry in order, bits
// 0..63 in increasing order give id group * 64 + bit. Ids of kMaxProcessorId
// or more are left out, so nothing downstream sizes a table by them.

#include <cstdint>
#include <span>
#include <vector>

#include "platform/topology_source.h"

namespace vendral {

std::vector<std::uint32_t> group_processor_ids(std::span<const platform::GroupAffinity> groups);

}  // namespace vendral
