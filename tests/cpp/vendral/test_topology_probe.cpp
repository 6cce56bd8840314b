// The probe over fabricated sysfs trees: node discovery, the id and node
// limits, the flat fallback and how caches reach the record.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/linux/sysfs_topology_source.h"
#include "vendral/sysfs_tree.h"
#include "vendral/topology_probe.h"

namespace {

using vendral::CpuTopology;
using vendral::kNoNode;
using vendral::NumaNode;
using vendral_test::SysfsTree;

std::vector<std::uint32_t> range(std::uint32_t first, std::uint32_t last) {
  std::vector<std::uint32_t> ids;
  for (std::uint32_t id = first; id <= last; ++id) ids.push_back(id);
  return ids;
}

CpuTopology probe(const SysfsTree& tree) { return vendral::probe_topology(platform::SysfsTopologySource(tree.root())); }

// Every topology, fallback or not, keeps these.
void expect_consistent(const CpuTopology& topology) {
  ASSERT_GE(topology.logical_processor_count, 1u);
  ASSERT_LE(topology.logical_processor_count, vendral::kMaxProcessorId);
  ASSERT_EQ(topology.processor_nodes.size(), topology.logical_processor_count);
  for (std::size_t i = 1; i < topology.nodes.size(); ++i) EXPECT_LT(topology.nodes[i - 1].id, topology.nodes[i].id);
  for (const NumaNode& node : topology.nodes) {
    EXPECT_LT(node.id, vendral::kMaxNodeId);
    for (const std::uint32_t id : node.processors) ASSERT_LT(id, topology.processor_nodes.size());
  }
}

void expect_flat(const CpuTopology& topology, std::uint32_t processors) {
  expect_consistent(topology);
  ASSERT_EQ(topology.nodes.size(), 1u);
  EXPECT_EQ(topology.nodes[0], (NumaNode{0, range(0, processors - 1)}));
  EXPECT_EQ(topology.processor_nodes, std::vector<std::uint32_t>(processors, 0));
  EXPECT_EQ(topology.logical_processor_count, processors);
  EXPECT_TRUE(topology.caches.empty());
}

TEST(TopologyProbe, ReadsNodesAndTheirProcessors) {
  SysfsTree tree;
  tree.node_cpulist(0, "0-3");
  tree.node_cpulist(1, "4-5,8");
  tree.write("devices/system/cpu/online", "0-5,8\n");
  const CpuTopology topology = probe(tree);
  expect_consistent(topology);
  EXPECT_EQ(topology.nodes, (std::vector<NumaNode>{{0, {0, 1, 2, 3}}, {1, {4, 5, 8}}}));
  EXPECT_EQ(topology.logical_processor_count, 9u);
  EXPECT_EQ(topology.processor_nodes, (std::vector<std::uint32_t>{0, 0, 0, 0, 1, 1, kNoNode, kNoNode, 1}));
}

TEST(TopologyProbe, TwoGroupsOf48LeaveAGapInTheTable) {
  SysfsTree tree;
  tree.node_cpulist(0, "0-47");
  tree.node_cpulist(1, "64-111");
  const CpuTopology topology = probe(tree);
  expect_consistent(topology);
  ASSERT_EQ(topology.nodes.size(), 2u);
  EXPECT_EQ(topology.nodes[0].processors, range(0, 47));
  EXPECT_EQ(topology.nodes[1].processors, range(64, 111));
  EXPECT_EQ(topology.logical_processor_count, 112u);
  for (std::uint32_t id = 0; id < 112; ++id) {
    const std::uint32_t expected = id < 48 ? 0 : id < 64 ? kNoNode : 1;
    EXPECT_EQ(topology.processor_nodes[id], expected) << "processor " << id;
  }
}

TEST(TopologyProbe, SkipsMissingUnreadableAndEmptyNodes) {
  SysfsTree tree;
  tree.node_cpulist(0, "");          // memory-only node
  tree.node_cpulist(1, "2-1");       // unreadable list, no mask to fall back on
  tree.node_cpulist(3, "1");         // node 2 has no directory at all
  tree.node_cpulist(4, "0");
  const CpuTopology topology = probe(tree);
  expect_consistent(topology);
  EXPECT_EQ(topology.nodes, (std::vector<NumaNode>{{3, {1}}, {4, {0}}}));
  EXPECT_EQ(topology.processor_nodes, (std::vector<std::uint32_t>{4, 3}));
}

TEST(TopologyProbe, ProcessorUnderTwoNodesBelongsToTheLater) {
  SysfsTree tree;
  tree.node_cpulist(0, "0-2");
  tree.node_cpulist(1, "2-3");
  const CpuTopology topology = probe(tree);
  expect_consistent(topology);
  EXPECT_EQ(topology.nodes, (std::vector<NumaNode>{{0, {0, 1, 2}}, {1, {2, 3}}}));
  EXPECT_EQ(topology.processor_nodes, (std::vector<std::uint32_t>{0, 0, 1, 1}));
}

TEST(TopologyProbe, IdsAtOrAboveTheLimitAreLeftOut) {
  SysfsTree tree;
  tree.node_cpulist(0, "32766-32769");
  tree.node_cpulist(1, "40000-40063");
  const CpuTopology topology = probe(tree);
  expect_consistent(topology);
  EXPECT_EQ(topology.nodes, (std::vector<NumaNode>{{0, {32766, 32767}}, {1, {}}}));
  EXPECT_EQ(topology.logical_processor_count, 32768u);
  EXPECT_EQ(topology.processor_nodes[32767], 0u);
  EXPECT_EQ(topology.processor_nodes[32765], kNoNode);
}

TEST(TopologyProbe, NodeWhoseIdsAreAllTooLargeIsKeptWithNoProcessors) {
  SysfsTree tree;
  tree.node_cpulist(0, "32768-32800");
  tree.write("devices/system/cpu/online", "0-7\n");
  const CpuTopology topology = probe(tree);
  expect_consistent(topology);
  EXPECT_EQ(topology.nodes, (std::vector<NumaNode>{{0, {}}}));
  EXPECT_EQ(topology.logical_processor_count, 1u);
  EXPECT_EQ(topology.processor_nodes, (std::vector<std::uint32_t>{kNoNode}));
}

TEST(TopologyProbe, HighestNodeJustBelowTheLimitIsStillRead) {
  SysfsTree tree;
  tree.node_cpulist(1023, "5");
  const CpuTopology topology = probe(tree);
  expect_consistent(topology);
  EXPECT_EQ(topology.nodes, (std::vector<NumaNode>{{1023, {5}}}));
}

TEST(TopologyProbe, ReadsTheHexMaskWhenTheListIsMissing) {
  SysfsTree tree;
  tree.write("devices/system/node/node0/cpumap", "00000000,00000001,00000000,0000000f\n");
  tree.write("devices/system/node/node1/cpumap", "ffffffff,ffffffff,00000000,00000000\n");
  tree.write("devices/system/node/node2/cpumap", "zz\n");
  const CpuTopology topology = probe(tree);
  expect_consistent(topology);
  ASSERT_EQ(topology.nodes.size(), 2u);
  EXPECT_EQ(topology.nodes[0], (NumaNode{0, {0, 1, 2, 3, 64}}));
  EXPECT_EQ(topology.nodes[1], (NumaNode{1, range(64, 127)}));
}

// Each case: what the node directory holds, and the processor count the
// flat topology must then use.
struct FlatCase {
  const char* name;
  std::vector<std::pair<int, const char*>> node_lists;  // node, cpulist
  bool node_directory;
  const char* online;          // nullptr: no online list
  int processor_directories;   // cpu<N> directories to create
  std::uint32_t expected_processors;
};

void PrintTo(const FlatCase& c, std::ostream* out) { *out << c.name; }

class FlatFallback : public testing::TestWithParam<FlatCase> {};

TEST_P(FlatFallback, OneNodeHoldingEveryProcessor) {
  const FlatCase& c = GetParam();
  SysfsTree tree;
  if (c.node_directory) tree.make_directory("devices/system/node");
  for (const auto& [node, list] : c.node_lists) tree.node_cpulist(node, list);
  if (c.online) tree.write("devices/system/cpu/online", c.online);
  for (int cpu = 0; cpu < c.processor_directories; ++cpu) {
    tree.make_directory("devices/system/cpu/cpu" + std::to_string(cpu));
    tree.cache(cpu, 0, 1, "Data", "32K", "64", std::to_string(cpu));  // never reaches a flat topology
  }
  expect_flat(probe(tree), c.expected_processors);
}

INSTANTIATE_TEST_SUITE_P(
    TopologyProbe, FlatFallback,
    testing::Values(
        FlatCase{"EmptyNodeDirectory", {}, true, "0-5\n", 0, 6},
        FlatCase{"EveryMaskEmpty", {{0, ""}, {1, ""}}, true, "0-1\n", 0, 2},
        FlatCase{"EveryListUnreadable", {{0, "x"}, {1, "1-"}}, true, "0\n", 0, 1},
        FlatCase{"HighestNodeAtTheLimit", {{0, "0-3"}, {1024, "4"}}, true, "0-2,4\n", 0, 4},
        FlatCase{"ProcessorCountUnknown", {}, false, nullptr, 0, 1},
        FlatCase{"ProcessorCountFromDirectories", {}, false, nullptr, 3, 3},
        FlatCase{"ProcessorCountFromMalformedOnline", {}, false, "0-\n", 2, 2},
        FlatCase{"ProcessorCountClampedToTheIdLimit", {}, true, "0-99999\n", 0, 32768}),
    [](const testing::TestParamInfo<FlatCase>& info) { return info.param.name; });

TEST(TopologyProbe, WithoutNumaSupportNodeZeroHoldsTheOnlineProcessors) {
  SysfsTree tree;
  tree.write("devices/system/cpu/online", "0-2,4\n");
  tree.cache(0, 0, 2, "Unified", "512K", "64", "0-2,4");
  const CpuTopology topology = probe(tree);
  expect_consistent(topology);
  EXPECT_EQ(topology.nodes, (std::vector<NumaNode>{{0, {0, 1, 2, 4}}}));
  EXPECT_EQ(topology.processor_nodes, (std::vector<std::uint32_t>{0, 0, 0, kNoNode, 0}));
  EXPECT_EQ(topology.caches, (std::vector<vendral::CacheDescriptor>{{2, 512 << 10, 64, {0, 1, 2, 4}}}));
}

TEST(TopologyProbe, CachesComeFromThePerProcessorIndexDirectories) {
  SysfsTree tree;
  tree.node_cpulist(0, "0-1");
  tree.cache(0, 0, 1, "Data", "48K", "64", "0");
  tree.cache(0, 1, 1, "Instruction", "32K", "64", "0");
  tree.cache(0, 2, 2, "Unified", "1024K", "64", "0");
  tree.cache(0, 3, 3, "Unified", "32768K", "64", "0-1");
  tree.cache(1, 0, 1, "Data", "48K", "64", "1");
  tree.cache(1, 1, 1, "Instruction", "32K", "64", "1");
  tree.cache(1, 2, 2, "Unified", "1024K", "64", "1");
  tree.cache(1, 3, 3, "Unified", "32768K", "64", "0-1");
  const CpuTopology topology = probe(tree);
  using vendral::CacheDescriptor;
  EXPECT_EQ(topology.caches, (std::vector<CacheDescriptor>{
                                 {1, 48 << 10, 64, {0}},
                                 {2, 1024 << 10, 64, {0}},
                                 {3, 32768 << 10, 64, {0, 1}},
                                 {1, 48 << 10, 64, {1}},
                                 {2, 1024 << 10, 64, {1}},
                             }));
}

TEST(TopologyProbe, NoProcessorDirectoriesMeansNoCaches) {
  SysfsTree tree;
  tree.node_cpulist(0, "0");
  EXPECT_TRUE(probe(tree).caches.empty());
}

}  // namespace
