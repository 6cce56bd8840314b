#include "vendral/group_processor_ids.h"

#include "vendral/topology.h"

namespace vendral {

// Whole groups lie either below the id limit or at and above it.
static_assert(kMaxProcessorId % 64 == 0);

std::vector<std::uint32_t> group_processor_ids(std::span<const platform::GroupAffinity> groups) {
  std::vector<std::uint32_t> ids;
  for (const platform::GroupAffinity& entry : groups) {
    const std::uint64_t group_base = std::uint64_t{entry.group} * 64;
    if (group_base >= kMaxProcessorId) continue;
    for (std::uint32_t bit = 0; bit < 64; ++bit) {
      if ((entry.mask >> bit) & 1) ids.push_back(static_cast<std::uint32_t>(group_base + bit));
    }
  }
  return ids;
}

}  // namespace vendral
