// The probe on the machine running the tests: whatever the machine, the
// record must be whole and consistent, and it must know every processor the
// standard library can see.

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "vendral/topology.h"

namespace {

TEST(ProbeThisMachine, RecordIsConsistent) {
  const vendral::CpuTopology topology = vendral::probe_topology();
  ASSERT_GE(topology.logical_processor_count, 1u);
  ASSERT_LE(topology.logical_processor_count, vendral::kMaxProcessorId);
  ASSERT_EQ(topology.processor_nodes.size(), topology.logical_processor_count);
  EXPECT_GE(topology.logical_processor_count, std::thread::hardware_concurrency());
  ASSERT_FALSE(topology.nodes.empty());
  for (const vendral::NumaNode& node : topology.nodes) {
    EXPECT_TRUE(std::is_sorted(node.processors.begin(), node.processors.end()));
    for (const std::uint32_t id : node.processors) EXPECT_EQ(topology.processor_nodes[id], node.id);
  }
  for (std::size_t i = 0; i < topology.caches.size(); ++i) {
    const vendral::CacheDescriptor& cache = topology.caches[i];
    EXPECT_GE(cache.level, 1u);
    EXPECT_LE(cache.level, 3u);
    EXPECT_NE(cache.size_bytes, 0u);
    EXPECT_FALSE(cache.processors.empty());
    for (std::size_t j = 0; j < i; ++j) EXPECT_NE(topology.caches[j], cache);
  }
}

}  // namespace
