// The current-processor query: its limits, and on this machine that it
// agrees with the probe.

#include <gtest/gtest.h>

#include <optional>

#include "vendral/current_processor.h"
#include "vendral/topology.h"

namespace {

using vendral::CurrentProcessor;

struct RunningCase {
  const char* name;
  platform::RunningProcessor running;
  std::optional<std::pair<std::uint32_t, std::uint32_t>> expected;  // processor, node
};

void PrintTo(const RunningCase& c, std::ostream* out) { *out << c.name; }

class CurrentProcessorLimits : public testing::TestWithParam<RunningCase> {};

TEST_P(CurrentProcessorLimits, IdAndNodeBelowTheirLimitsOrNothing) {
  const std::optional<CurrentProcessor> current = vendral::current_processor_from(GetParam().running);
  ASSERT_EQ(current.has_value(), GetParam().expected.has_value());
  if (current) {
    EXPECT_EQ(current->processor, GetParam().expected->first);
    EXPECT_EQ(current->node, GetParam().expected->second);
  }
}

INSTANTIATE_TEST_SUITE_P(
    CurrentProcessor, CurrentProcessorLimits,
    testing::Values(RunningCase{"FirstGroup", {0, 5, 0}, std::pair{5u, 0u}},
                    RunningCase{"LaterGroup", {2, 63, 3}, std::pair{191u, 3u}},
                    RunningCase{"LastIdAndNode", {511, 63, 1023}, std::pair{32767u, 1023u}},
                    RunningCase{"IdAtTheLimit", {512, 0, 0}, std::nullopt},
                    RunningCase{"GroupFarBeyond", {0xFFFFFFFF, 63, 0}, std::nullopt},
                    RunningCase{"NodeAtTheLimit", {0, 0, 1024}, std::nullopt},
                    RunningCase{"NodeUnknown", {0, 0, std::nullopt}, std::nullopt}),
    [](const testing::TestParamInfo<RunningCase>& info) { return info.param.name; });

TEST(CurrentProcessor, AgreesWithTheProbeOnThisMachine) {
  const vendral::CpuTopology topology = vendral::probe_topology();
  const std::optional<CurrentProcessor> current = vendral::current_processor();
  ASSERT_TRUE(current);
  ASSERT_LT(current->processor, topology.logical_processor_count);
  EXPECT_EQ(topology.processor_nodes[current->processor], current->node);
}

}  // namespace
