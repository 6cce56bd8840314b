// The topology questions asked of Windows itself: each method is one of the
// system's processor and NUMA calls, and the cache records come out of the
// processor information buffer through the portable record walk.

#include "platform/topology_source.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <span>
#include <vector>

#include "platform/cache_relationship_walk.h"

namespace platform {
namespace {

// The processor information's record of NUMA node `node`: the same mask
// GetNumaNodeProcessorMaskEx reports, for systems that do not implement that
// call (Wine).
std::optional<GROUP_AFFINITY> node_mask_from_processor_information(std::uint32_t node) noexcept {
  DWORD needed = 0;
  if (GetLogicalProcessorInformationEx(RelationNumaNode, nullptr, &needed)) return std::nullopt;
  if (needed == 0 || needed > kMaxProcessorInformationBytes) return std::nullopt;
  std::vector<std::byte> buffer(needed);
  DWORD written = needed;
  if (!GetLogicalProcessorInformationEx(
          RelationNumaNode, reinterpret_cast<PSYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX>(buffer.data()), &written)) {
    return std::nullopt;
  }
  const std::size_t length = std::min<std::size_t>(needed, written);
  constexpr std::size_t kRecordBytes =
      offsetof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX, NumaNode) + sizeof(NUMA_NODE_RELATIONSHIP);
  for (std::size_t offset = 0; offset + kRecordBytes <= length;) {
    SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX record;
    std::memcpy(&record, buffer.data() + offset, kRecordBytes);
    if (record.Size < kRecordBytes || record.Size > length - offset) break;
    if (record.Relationship == RelationNumaNode && record.NumaNode.NodeNumber == node) return record.NumaNode.GroupMask;
    offset += record.Size;
  }
  return std::nullopt;
}

class WindowsTopologySource final : public TopologySource {
 public:
  std::optional<std::uint32_t> highest_node_number() const noexcept override {
    ULONG highest = 0;
    if (!GetNumaHighestNodeNumber(&highest)) return std::nullopt;
    return static_cast<std::uint32_t>(highest);
  }

  std::vector<GroupAffinity> node_processor_masks(std::uint32_t node) const noexcept override {
    if (node > 0xFFFF) return {};  // the call takes a 16-bit node number
    GROUP_AFFINITY affinity{};
    if (!GetNumaNodeProcessorMaskEx(static_cast<USHORT>(node), &affinity)) {
      if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return {};
      const std::optional<GROUP_AFFINITY> recorded = node_mask_from_processor_information(node);
      if (!recorded) return {};
      affinity = *recorded;
    }
    if (affinity.Mask == 0) return {};
    return {GroupAffinity{static_cast<std::uint64_t>(affinity.Mask), affinity.Group}};
  }

  std::uint32_t processor_count() const noexcept override {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors;
  }

  std::optional<std::vector<CacheRecord>> cache_records() const noexcept override {
    // The first call, without a buffer, must fail and say how much it needs.
    DWORD needed = 0;
    if (GetLogicalProcessorInformationEx(RelationCache, nullptr, &needed)) return std::nullopt;
    if (needed == 0 || needed > kMaxProcessorInformationBytes) return std::nullopt;
    std::vector<std::byte> buffer(needed);
    DWORD written = needed;
    auto* records = reinterpret_cast<PSYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX>(buffer.data());
    if (!GetLogicalProcessorInformationEx(RelationCache, records, &written)) return std::nullopt;
    return walk_cache_relationships(std::span<const std::byte>(buffer).first(std::min<std::size_t>(needed, written)));
  }
};

// The node whose processor mask holds the processor: the answer
// GetNumaProcessorNodeEx gives, for systems that do not implement it (Wine).
std::optional<std::uint32_t> node_holding(const PROCESSOR_NUMBER& number) noexcept {
  const WindowsTopologySource source;
  const std::optional<std::uint32_t> highest = source.highest_node_number();
  if (!highest) return std::nullopt;
  for (std::uint32_t node = 0; node <= *highest && node <= 0xFFFF; ++node) {
    for (const GroupAffinity& entry : source.node_processor_masks(node)) {
      if (entry.group == number.Group && ((entry.mask >> number.Number) & 1) != 0) return node;
    }
  }
  return std::nullopt;
}

}  // namespace

const TopologySource& system_topology_source() noexcept {
  static constinit const WindowsTopologySource source;
  return source;
}

std::optional<RunningProcessor> running_processor() noexcept {
  PROCESSOR_NUMBER number{};
  GetCurrentProcessorNumberEx(&number);
  RunningProcessor running{number.Group, number.Number, std::nullopt};
  USHORT node = 0;
  if (GetNumaProcessorNodeEx(&number, &node)) {
    running.node = node;
  } else if (GetLastError() == ERROR_CALL_NOT_IMPLEMENTED) {
    running.node = node_holding(number);
  }
  return running;
}

}  // namespace platform
