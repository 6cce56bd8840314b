#pragma once
// Topology answers read from a sysfs tree: /sys for the running machine, or
// any directory laid out like it, so that tests can describe machines that
// this one is not.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/topology_source.h"

namespace platform {

class SysfsTopologySource final : public TopologySource {
 public:
  // `sysfs_root` is the directory that holds devices/system/{node,cpu}.
  explicit SysfsTopologySource(std::string sysfs_root);

  std::optional<std::uint32_t> highest_node_number() const noexcept override;
  std::vector<GroupAffinity> node_processor_masks(std::uint32_t node) const noexcept override;
  std::uint32_t processor_count() const noexcept override;
  std::optional<std::vector<CacheRecord>> cache_records() const noexcept override;

  const std::string& sysfs_root() const noexcept { return sysfs_root_; }

 private:
  bool without_numa_support() const noexcept;
  std::optional<std::vector<GroupAffinity>> online_processors() const noexcept;

  std::string sysfs_root_;
};

}  // namespace platform
