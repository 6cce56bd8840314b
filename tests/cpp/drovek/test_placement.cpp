// Worker placement: the plan over fabricated topologies, real and refused
// bindings, and construction failing for the lowest worker that could not
// be pinned.

#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <set>
#include <thread>

#include "drovek/executor/executor.h"
#include "drovek/placement/placement_plan.h"
#include "drovek/placement/thread_binder.h"
#include "drovek/scheduler/quiescence.h"
#include "drovek/scheduler/submit.h"
#include "support/test_jobs.h"
#include "vendral/topology.h"

namespace drovek {
namespace {

using testing_support::small_config;
constexpr std::uint32_t kNone = vendral::kNoNode;

std::vector<std::uint32_t> processors_on_node(std::uint32_t count, std::uint32_t node) {
  return std::vector<std::uint32_t>(count, node);
}

std::vector<std::uint32_t> processors_of(const PlacementPlan& plan) {
  std::vector<std::uint32_t> out;
  for (const PlacementEntry& entry : plan) out.push_back(entry.processor);
  return out;
}

TEST(PlacementPlanTest, WorkersTakeProcessorsInIdOrderAndWrapAround) {
  auto plan = placement_plan_from(processors_on_node(4, 0), 6);
  ASSERT_TRUE(plan);
  EXPECT_EQ(processors_of(*plan), (std::vector<std::uint32_t>{0, 1, 2, 3, 0, 1}));

  // Fewer workers than processors use the lowest ids.
  EXPECT_EQ(processors_of(*placement_plan_from(processors_on_node(4, 0), 2)), (std::vector<std::uint32_t>{0, 1}));
  EXPECT_TRUE(placement_plan_from(processors_on_node(4, 0), 0)->empty());
}

TEST(PlacementPlanTest, SkipsUnlistedIdsAndCarriesEachProcessorsNode) {
  // Two partly filled groups: ids 0..47 on node 0, 64..111 on node 1.
  std::vector<std::uint32_t> nodes(112, kNone);
  for (std::uint32_t id = 0; id < 48; ++id) nodes[id] = 0;
  for (std::uint32_t id = 64; id < 112; ++id) nodes[id] = 1;
  auto plan = placement_plan_from(nodes, 97);
  ASSERT_TRUE(plan);
  EXPECT_EQ((*plan)[47], (PlacementEntry{0, 47}));
  EXPECT_EQ((*plan)[48], (PlacementEntry{1, 64}));
  EXPECT_EQ((*plan)[95], (PlacementEntry{1, 111}));
  EXPECT_EQ((*plan)[96], (PlacementEntry{0, 0}));
}

TEST(PlacementPlanTest, ATopologyWithoutListedProcessorsCannotBePlanned) {
  EXPECT_EQ(placement_plan_from({kNone}, 2).error(), ExecutorError::InvalidConfiguration{});
  EXPECT_EQ(placement_plan_from({}, 1).error(), ExecutorError::InvalidConfiguration{});
}

TEST(BindCurrentThreadTest, RefusesUnbindableIdsAndReportsTheSystemsRefusal) {
  // Runs on a scratch thread: a successful bind must not pin the test runner.
  std::thread([] {
    EXPECT_EQ(bind_current_thread(kBindableProcessorLimit).error(), ThreadBindError::OutOfRange{});
    EXPECT_EQ(bind_current_thread(0xFFFFFFFFu).error(), ThreadBindError::OutOfRange{});
    // A processor this machine does not have: the system refuses (EINVAL on
    // Linux, ERROR_INVALID_PARAMETER on Windows).
#if defined(_WIN32)
    constexpr std::int32_t kRefusal = 87;
#else
    constexpr std::int32_t kRefusal = 22;
#endif
    EXPECT_EQ(bind_current_thread(kBindableProcessorLimit - 1).error(), ThreadBindError::Os{kRefusal});
  }).join();
}

TEST(BindCurrentThreadTest, BindsToAProcessorTheTopologyLists) {
  const vendral::CpuTopology topology = vendral::probe_topology();
  std::uint32_t listed = kNone;
  for (std::uint32_t id = 0; id < topology.processor_nodes.size(); ++id) {
    if (topology.processor_nodes[id] != kNone) listed = id;
  }
  ASSERT_NE(listed, kNone);
  std::thread([&] { EXPECT_TRUE(bind_current_thread(listed)); }).join();
}

// A construction whose planner and binder are fabricated.
struct FakePlacement {
  std::vector<std::uint32_t> processor_nodes;
  std::set<std::uint32_t> refused_processors;
  std::mutex mutex;
  std::vector<std::uint32_t> bound;

  ConstructionHooks hooks() {
    ConstructionHooks hooks;
    hooks.plan_placement = [this](std::uint64_t workers) { return placement_plan_from(processor_nodes, workers); };
    hooks.bind_thread = [this](std::uint32_t processor) -> std::expected<void, ThreadBindError> {
      std::lock_guard lock(mutex);
      if (refused_processors.contains(processor)) return std::unexpected(ThreadBindError::Os{87});
      bound.push_back(processor);
      return {};
    };
    return hooks;
  }
};

ExecutorConfig pinned(std::uint64_t workers) {
  ExecutorConfig config = small_config(workers);
  config.pin_workers = true;
  return config;
}

TEST(PinnedExecutorTest, TheLowestWorkerThatCouldNotBePinnedIsReported) {
  FakePlacement placement;
  placement.processor_nodes = processors_on_node(6, 0);
  placement.refused_processors = {5, 3};
  auto created = Executor::create(pinned(6), placement.hooks());
  ASSERT_FALSE(created);
  EXPECT_EQ(created.error(), (ExecutorError::WorkerPlacementFailed{3, 3, ThreadBindError::Os{87}}));
  EXPECT_EQ(display(created.error()), "worker 3 could not be pinned to logical processor 3");
}

TEST(PinnedExecutorTest, WrappedWorkersReportTheirPlannedProcessor) {
  FakePlacement placement;
  placement.processor_nodes = processors_on_node(4, 0);
  placement.refused_processors = {1};
  // Workers 1 and 5 both go to processor 1; worker 1 is reported.
  auto created = Executor::create(pinned(6), placement.hooks());
  EXPECT_EQ(created.error(), (ExecutorError::WorkerPlacementFailed{1, 1, ThreadBindError::Os{87}}));
}

TEST(PinnedExecutorTest, PinnedWorkersGetTheirNodesAndRunJobs) {
  FakePlacement placement;
  placement.processor_nodes = {0, 1, 0, 1};
  auto created = Executor::create(pinned(4), placement.hooks());
  ASSERT_TRUE(created);
  SchedulerCore& core = created->scheduler();
  EXPECT_EQ(core.numa_table, (std::vector<std::optional<std::uint64_t>>{0, 1, 0, 1}));
  {
    std::lock_guard lock(placement.mutex);
    EXPECT_EQ(std::multiset<std::uint32_t>(placement.bound.begin(), placement.bound.end()),
              (std::multiset<std::uint32_t>{0, 1, 2, 3}));
  }
  testing_support::JobLedger ledger(500);
  for (std::size_t id = 0; id < 500; ++id) {
    testing_support::submit_until_admitted(core, ledger, id, testing_support::ledger_job(ledger, id));
  }
  wait_until_quiescent(core);
  EXPECT_TRUE(ledger.each_ran_once());
}

TEST(PinnedExecutorTest, APlanFailureStopsConstructionBeforeAnyThreadStarts) {
  FakePlacement placement;
  placement.processor_nodes = {kNone, kNone};
  int spawned = 0;
  ConstructionHooks hooks = placement.hooks();
  hooks.spawn_thread = [&](std::string, std::size_t, std::move_only_function<void()>)
      -> std::expected<platform::ThreadHandle, int> {
    ++spawned;
    return std::unexpected(11);
  };
  EXPECT_EQ(Executor::create(pinned(2), hooks).error(), ExecutorError::InvalidConfiguration{});
  EXPECT_EQ(spawned, 0);
}

TEST(UnpinnedExecutorTest, NoPlanIsMadeAndNoThreadIsBound) {
  FakePlacement placement;
  int plans = 0;
  ConstructionHooks hooks = placement.hooks();
  hooks.plan_placement = [&](std::uint64_t) -> std::expected<PlacementPlan, ExecutorError> {
    ++plans;
    return std::unexpected(ExecutorError::InvalidConfiguration{});
  };
  auto created = Executor::create(small_config(3), hooks);
  ASSERT_TRUE(created);
  EXPECT_EQ(plans, 0);
  EXPECT_TRUE(placement.bound.empty());
  EXPECT_EQ(created->scheduler().numa_table, (std::vector<std::optional<std::uint64_t>>(3)));
}

}  // namespace
}  // namespace drovek
