// Where the calling thread runs, from getcpu(2): the kernel reports the
// processor and its NUMA node in one call, so the two always agree.

#include "platform/topology_source.h"

#include <sched.h>

namespace platform {

std::optional<RunningProcessor> running_processor() noexcept {
  unsigned int processor = 0;
  unsigned int node = 0;
  if (getcpu(&processor, &node) != 0) return std::nullopt;
  return RunningProcessor{processor / 64, processor % 64, node};
}

}  // namespace platform
