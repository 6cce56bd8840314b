// How the cache index directories of a fabricated sysfs tree become cache
// descriptors: which caches count, how their attributes are read, and the
// order in which they are reported.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/linux/sysfs_topology_source.h"
#include "vendral/sysfs_tree.h"
#include "vendral/topology_probe.h"

namespace {

using vendral::CacheDescriptor;
using vendral_test::SysfsTree;

std::vector<CacheDescriptor> probe_caches(const SysfsTree& tree) {
  return vendral::probe_topology(platform::SysfsTopologySource(tree.root())).caches;
}

TEST(SysfsCaches, OnlyDataAndUnifiedCachesOfLevelsOneToThree) {
  SysfsTree tree;
  tree.node_cpulist(0, "0");
  tree.cache(0, 0, 1, "Instruction", "32K", "64", "0");
  tree.cache(0, 1, 1, "Data", "32K", "64", "0");
  tree.cache(0, 2, 4, "Unified", "131072K", "64", "0");
  tree.cache(0, 3, 0, "Unified", "16K", "64", "0");
  tree.cache(0, 4, 2, "Trace", "12K", "64", "0");
  tree.cache(0, 5, 3, "Unified", "0K", "64", "0");
  tree.cache(0, 6, 3, "Unified", "8M", "64", "0");
  EXPECT_EQ(probe_caches(tree), (std::vector<CacheDescriptor>{{1, 32 << 10, 64, {0}}, {3, 8 << 20, 64, {0}}}));
}

TEST(SysfsCaches, PerCoreCachesOfEqualSizeStayDistinctAndSharedOnesCollapse) {
  SysfsTree tree;
  tree.node_cpulist(0, "0-3");
  for (int cpu = 0; cpu < 4; ++cpu) {
    tree.cache(cpu, 0, 2, "Unified", "512K", "64", std::to_string(cpu));
    tree.cache(cpu, 1, 3, "Unified", "16384K", "64", cpu < 2 ? "0-1" : "2-3");
  }
  EXPECT_EQ(probe_caches(tree), (std::vector<CacheDescriptor>{
                                    {2, 512 << 10, 64, {0}},
                                    {3, 16384 << 10, 64, {0, 1}},
                                    {2, 512 << 10, 64, {1}},
                                    {2, 512 << 10, 64, {2}},
                                    {3, 16384 << 10, 64, {2, 3}},
                                    {2, 512 << 10, 64, {3}},
                                }));
}

TEST(SysfsCaches, ProcessorsAndIndexesInNumericOrder) {
  SysfsTree tree;
  tree.node_cpulist(0, "0-10");
  tree.cache(10, 0, 1, "Data", "32K", "64", "10");
  tree.cache(2, 10, 2, "Unified", "1M", "64", "2");
  tree.cache(2, 2, 1, "Data", "32K", "64", "2");
  EXPECT_EQ(probe_caches(tree), (std::vector<CacheDescriptor>{
                                    {1, 32 << 10, 64, {2}},
                                    {2, 1 << 20, 64, {2}},
                                    {1, 32 << 10, 64, {10}},
                                }));
}

// One cache written with unusual attributes, and the descriptor it must
// become (or none).
struct AttributeCase {
  const char* name;
  const char* size;
  const char* line;        // "" leaves coherency_line_size out
  const char* shared;      // "" leaves shared_cpu_list out
  const char* shared_map;  // "" leaves shared_cpu_map out
  std::vector<CacheDescriptor> expected;
};

void PrintTo(const AttributeCase& c, std::ostream* out) { *out << c.name; }

class SysfsCacheAttributes : public testing::TestWithParam<AttributeCase> {};

TEST_P(SysfsCacheAttributes, ReadAsTheKernelWritesThem) {
  const AttributeCase& c = GetParam();
  SysfsTree tree;
  tree.node_cpulist(0, "0-127");
  const std::string dir = "devices/system/cpu/cpu0/cache/index0/";
  tree.write(dir + "level", "2\n");
  tree.write(dir + "type", "Unified\n");
  tree.write(dir + "size", std::string(c.size) + "\n");
  if (*c.line) tree.write(dir + "coherency_line_size", std::string(c.line) + "\n");
  if (*c.shared) tree.write(dir + "shared_cpu_list", std::string(c.shared) + "\n");
  if (*c.shared_map) tree.write(dir + "shared_cpu_map", std::string(c.shared_map) + "\n");
  EXPECT_EQ(probe_caches(tree), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    SysfsCaches, SysfsCacheAttributes,
    testing::Values(
        AttributeCase{"KibiSuffix", "1024K", "64", "0", "", {{2, 1 << 20, 64, {0}}}},
        AttributeCase{"MebiSuffix", "2M", "64", "0", "", {{2, 2 << 20, 64, {0}}}},
        AttributeCase{"PlainBytes", "65536", "64", "0", "", {{2, 65536, 64, {0}}}},
        AttributeCase{"UnreadableSizeIsNoCache", "lots", "64", "0", "", {}},
        AttributeCase{"OverflowingSizeIsNoCache", "99999999999999999999K", "64", "0", "", {}},
        AttributeCase{"MissingLineSizeIsAbsent", "1M", "", "0", "", {{2, 1 << 20, std::nullopt, {0}}}},
        AttributeCase{"ZeroLineSizeIsAbsent", "1M", "0", "0", "", {{2, 1 << 20, std::nullopt, {0}}}},
        AttributeCase{"LineSizeBeyond16BitsIsAbsent", "1M", "65536", "0", "", {{2, 1 << 20, std::nullopt, {0}}}},
        AttributeCase{"ListAcrossGroups", "1M", "128", "62-65,127", "", {{2, 1 << 20, 128, {62, 63, 64, 65, 127}}}},
        AttributeCase{"MaskWhenListMissing", "1M", "64", "", "00000003,00000000,00000005",
                      {{2, 1 << 20, 64, {0, 2, 64, 65}}}},
        AttributeCase{"MaskWhenListMalformed", "1M", "64", "0,,1", "1", {{2, 1 << 20, 64, {0}}}},
        AttributeCase{"NoProcessorsIsNoCache", "1M", "64", "", "", {}},
        AttributeCase{"OnlyIdsBeyondTheLimitIsNoCache", "1M", "64", "32768-32769", "", {}},
        AttributeCase{"IdsBeyondTheLimitLeftOut", "1M", "64", "32767-32768", "", {{2, 1 << 20, 64, {32767}}}}),
    [](const testing::TestParamInfo<AttributeCase>& info) { return info.param.name; });

TEST(SysfsCaches, IndexWithoutLevelOrTypeIsPassedOver) {
  SysfsTree tree;
  tree.node_cpulist(0, "0");
  tree.write("devices/system/cpu/cpu0/cache/index0/type", "Data\n");
  tree.write("devices/system/cpu/cpu0/cache/index0/size", "32K\n");
  tree.write("devices/system/cpu/cpu0/cache/index0/shared_cpu_list", "0\n");
  tree.write("devices/system/cpu/cpu0/cache/index1/level", "1\n");
  tree.write("devices/system/cpu/cpu0/cache/index1/size", "32K\n");
  tree.write("devices/system/cpu/cpu0/cache/index1/shared_cpu_list", "0\n");
  tree.cache(0, 2, 2, "Unified", "1M", "64", "0");
  EXPECT_EQ(probe_caches(tree), (std::vector<CacheDescriptor>{{2, 1 << 20, 64, {0}}}));
}

}  // namespace
