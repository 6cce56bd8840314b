#include "platform/allowed_processors.h"

#include <windows.h>

#include <bit>
#include <vector>

namespace platform {

std::optional<std::uint64_t> allowed_processor_count() noexcept {
  // A process confined to one group has a process affinity mask there
  // (start /affinity, job objects). A process spread over several groups
  // has no single mask: it may run on every active processor of each.
  USHORT group_count = 0;
  if (!GetProcessGroupAffinity(GetCurrentProcess(), &group_count, nullptr) && group_count > 1) {
    std::vector<USHORT> groups(group_count);
    if (!GetProcessGroupAffinity(GetCurrentProcess(), &group_count, groups.data())) return std::nullopt;
    std::uint64_t count = 0;
    for (USHORT i = 0; i < group_count; ++i) count += GetActiveProcessorCount(groups[i]);
    if (count == 0) return std::nullopt;
    return count;
  }
  DWORD_PTR process_mask = 0;
  DWORD_PTR system_mask = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process_mask, &system_mask)) return std::nullopt;
  const int count = std::popcount(static_cast<std::uint64_t>(process_mask));
  if (count == 0) return std::nullopt;
  return static_cast<std::uint64_t>(count);
}

}  // namespace platform
