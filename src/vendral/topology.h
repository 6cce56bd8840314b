#pragma once
// Logical processors, NUMA nodes and data caches of this machine.
// Nothing is cached here: each consumer probes, takes what it needs and drops
// the record. Processor ids are group * 64 + number within the group; only ids
// below 32768 and nodes below 1024 are ever recorded.

#include <cstdint>
#include <optional>
#include <vector>

namespace vendral {

inline constexpr std::uint32_t kMaxProcessorId = 32768;  // ids are below this
inline constexpr std::uint32_t kMaxNodeId = 1024;         // nodes are below this
inline constexpr std::uint32_t kNoNode = 0xFFFFFFFFu;

struct NumaNode {
  std::uint32_t id = 0;
  std::vector<std::uint32_t> processors;  // increasing
  bool operator==(const NumaNode&) const = default;
};

struct CacheDescriptor {
  std::uint32_t level = 0;                   // 1, 2 or 3
  std::uint64_t size_bytes = 0;              // never 0
  std::optional<std::uint16_t> line_size;    // absent when unreported
  std::vector<std::uint32_t> processors;     // sharing this instance, as reported
  bool operator==(const CacheDescriptor&) const = default;
};

struct CpuTopology {
  std::vector<NumaNode> nodes;                   // non-empty masks, increasing id
  std::vector<std::uint32_t> processor_nodes;    // by processor id; kNoNode if unlisted
  std::uint64_t logical_processor_count = 1;     // highest recorded id + 1
  std::vector<CacheDescriptor> caches;           // distinct data/unified caches, levels 1-3
};

struct CurrentProcessor {
  std::uint32_t processor = 0;
  std::uint32_t node = 0;
};

CpuTopology probe_topology();
std::optional<CurrentProcessor> current_processor();

}  // namespace vendral
