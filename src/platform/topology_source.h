#pragma once
// What the operating system says about processors, NUMA nodes and caches,
// in the shape Windows reports it: processor groups of 64 with one bit mask
// per group, nodes numbered up to a highest node number, and one record per
// cache instance. The rules that turn these answers into a topology (id and
// node limits, fallbacks, which caches count) live in vendral; this layer
// only reads and translates.
//
// system_topology_source() answers for the running machine: on Windows from
// the processor information calls, on Linux from the sysfs tree under /sys.
// Other sources (platform/linux/sysfs_topology_source.h over any directory,
// fakes in tests) describe machines that this one is not.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// One processor group's share of a processor set: bit b of `mask` stands for
// processor group * 64 + b.
struct GroupAffinity {
  std::uint64_t mask = 0;
  std::uint16_t group = 0;
  bool operator==(const GroupAffinity&) const = default;
};

// Windows PROCESSOR_CACHE_TYPE values. Other values may arrive from a
// processor information buffer and are kept as they are.
enum class CacheType : std::uint32_t { unified = 0, instruction = 1, data = 2, trace = 3 };

// One cache instance (Windows CACHE_RELATIONSHIP). A line size of 0 means
// the system did not report one.
struct CacheRecord {
  std::uint32_t level = 0;
  std::uint16_t line_size = 0;
  std::uint64_t size_bytes = 0;
  CacheType type = CacheType::unified;
  std::vector<GroupAffinity> groups;  // the processors sharing this instance
  bool operator==(const CacheRecord&) const = default;
};

// Where the calling thread runs (Windows GetCurrentProcessorNumberEx and
// GetNumaProcessorNodeEx). `node` is absent when the node query fails.
struct RunningProcessor {
  std::uint32_t group = 0;
  std::uint32_t number = 0;  // within the group, below 64
  std::optional<std::uint32_t> node;
};

class TopologySource {
 public:
  virtual ~TopologySource() = default;

  // Highest NUMA node number (GetNumaHighestNodeNumber); absent when the
  // system describes no nodes. A system without NUMA support is one node 0.
  virtual std::optional<std::uint32_t> highest_node_number() const noexcept = 0;

  // The processors of one node (GetNumaNodeProcessorMaskEx), one entry per
  // group with at least one processor, in increasing group order. Empty when
  // the node does not exist, has no processors or cannot be read.
  virtual std::vector<GroupAffinity> node_processor_masks(std::uint32_t node) const noexcept = 0;

  // Number of logical processors (GetSystemInfo); 0 when unknown.
  virtual std::uint32_t processor_count() const noexcept = 0;

  // Every cache the system describes (GetLogicalProcessorInformationEx with
  // RelationCache); absent when the system describes none. A cache shared by
  // several processors may be reported once per processor.
  virtual std::optional<std::vector<CacheRecord>> cache_records() const noexcept = 0;
};

// The running system's answers; the source lives as long as the process.
const TopologySource& system_topology_source() noexcept;

// Absent when the system cannot say where the calling thread runs.
std::optional<RunningProcessor> running_processor() noexcept;

}  // namespace platform
