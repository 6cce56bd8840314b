#pragma once
// Turns the caches the system reports into the topology's cache list: only
// data and unified caches of levels 1 to 3 with a non-zero size that serve at
// least one recorded processor, each distinct descriptor once, in the order
// first reported. Systems that report a shared cache once per processor
// (Linux sysfs) and once per instance (Windows) both end up with one
// descriptor per instance.

#include <span>
#include <vector>

#include "platform/topology_source.h"
#include "vendral/topology.h"

namespace vendral {

std::vector<CacheDescriptor> cache_descriptors(std::span<const platform::CacheRecord> records);

}  // namespace vendral
