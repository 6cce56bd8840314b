// The probe on Windows against the system's own processor information
// (GetLogicalProcessorInformationEx with RelationAll), decoded here through
// the SDK's record types rather than the probe's byte walk: the same
// processors, the same NUMA nodes and the same data caches.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <set>
#include <tuple>
#include <vector>

#include "vendral/topology.h"

namespace {

struct SystemAnswer {
  std::set<std::uint32_t> active_processors;
  std::vector<vendral::NumaNode> nodes;
  std::set<std::tuple<std::uint32_t, std::uint64_t, std::uint16_t, std::vector<std::uint32_t>>> caches;
};

std::vector<std::uint32_t> ids_of(std::uint64_t mask, std::uint32_t group) {
  std::vector<std::uint32_t> ids;
  for (std::uint32_t bit = 0; bit < 64; ++bit) {
    if ((mask >> bit) & 1) ids.push_back(group * 64 + bit);
  }
  return ids;
}

SystemAnswer ask_windows() {
  SystemAnswer answer;
  DWORD length = 0;
  EXPECT_FALSE(GetLogicalProcessorInformationEx(RelationAll, nullptr, &length));
  std::vector<std::byte> buffer(length);
  EXPECT_TRUE(GetLogicalProcessorInformationEx(
      RelationAll, reinterpret_cast<PSYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX>(buffer.data()), &length));
  for (std::size_t offset = 0; offset < length;) {
    const auto* record = reinterpret_cast<const SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(buffer.data() + offset);
    if (record->Size == 0) break;
    offset += record->Size;
    switch (record->Relationship) {
      case RelationGroup:
        for (WORD g = 0; g < record->Group.ActiveGroupCount; ++g) {
          for (std::uint32_t id : ids_of(record->Group.GroupInfo[g].ActiveProcessorMask, g)) {
            answer.active_processors.insert(id);
          }
        }
        break;
      case RelationNumaNode:
        answer.nodes.push_back({record->NumaNode.NodeNumber,
                                ids_of(record->NumaNode.GroupMask.Mask, record->NumaNode.GroupMask.Group)});
        break;
      case RelationCache: {
        const CACHE_RELATIONSHIP& cache = record->Cache;
        // The group count sits in the last two reserved bytes of older SDKs.
        // Systems older than Windows 11 leave it 0, and such records are not
        // used (nor are they here).
        WORD group_count = 0;
        std::memcpy(&group_count, cache.Reserved + 18, sizeof group_count);
        const bool data = cache.Type == CacheData || cache.Type == CacheUnified;
        if (!data || cache.Level < 1 || cache.Level > 3 || cache.CacheSize == 0 || group_count != 1) break;
        answer.caches.insert({cache.Level, cache.CacheSize, cache.LineSize,
                              ids_of(cache.GroupMask.Mask, cache.GroupMask.Group)});
        break;
      }
      default:
        break;
    }
  }
  return answer;
}

TEST(ProbeMatchesWindows, ProcessorsNodesAndCaches) {
  const SystemAnswer windows = ask_windows();
  const vendral::CpuTopology topology = vendral::probe_topology();
  ASSERT_FALSE(windows.active_processors.empty());

  std::set<std::uint32_t> probed;
  for (const vendral::NumaNode& node : topology.nodes) probed.insert(node.processors.begin(), node.processors.end());
  EXPECT_EQ(probed, windows.active_processors);
  EXPECT_EQ(topology.logical_processor_count, *windows.active_processors.rbegin() + 1);

  if (!windows.nodes.empty()) {
    std::vector<vendral::NumaNode> nodes = windows.nodes;
    std::sort(nodes.begin(), nodes.end(), [](const auto& a, const auto& b) { return a.id < b.id; });
    EXPECT_EQ(topology.nodes, nodes);
  }

  std::set<std::tuple<std::uint32_t, std::uint64_t, std::uint16_t, std::vector<std::uint32_t>>> probed_caches;
  for (const vendral::CacheDescriptor& cache : topology.caches) {
    probed_caches.insert({cache.level, cache.size_bytes, cache.line_size.value_or(0), cache.processors});
  }
  EXPECT_EQ(probed_caches, windows.caches);
  EXPECT_EQ(probed_caches.size(), topology.caches.size()) << "a cache was described twice";
}

}  // namespace
