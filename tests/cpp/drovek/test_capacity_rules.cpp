// How construction derives admission and deque capacities, at both sides of
// each limit, through the pure rules and through Executor::create.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "drovek/executor/capacity_rules.h"
#include "drovek/executor/executor.h"
#include "support/test_jobs.h"

namespace drovek {
namespace {

using testing_support::make_executor;
using testing_support::small_config;

constexpr std::uint64_t k2Pow55 = std::uint64_t{1} << 55;

TEST(CapacityRulesTest, AdmissionSlotsPerWorkerRoundDownToAPowerOfTwo) {
  struct Case {
    std::uint64_t total, workers, expected;
  };
  for (const Case& c : std::vector<Case>{{8192, 4096, 2}, {8192, 12, 512}, {8192, 1, 8192}, {8192, 3, 2048},
                                         {8, 1, 8}, {9, 1, 8}, {2, 0, 2}}) {
    SCOPED_TRACE(::testing::Message() << c.total << " over " << c.workers);
    EXPECT_EQ(per_worker_admission_capacity(c.total, c.workers), c.expected);
  }
  for (auto [total, workers] : std::vector<std::pair<std::uint64_t, std::uint64_t>>{{8192, 4097}, {1, 1}, {0, 1}}) {
    EXPECT_EQ(per_worker_admission_capacity(total, workers), std::unexpected(ExecutorError::InvalidConfiguration{}));
  }
}

TEST(CapacityRulesTest, LocalDequeCapacityIsTheNextPowerOfTwoOfAtLeast16) {
  struct Case {
    std::uint64_t requested, expected;
  };
  for (const Case& c : std::vector<Case>{{0, 16}, {1, 16}, {16, 16}, {17, 32}, {128, 128}, {129, 256},
                                         {k2Pow55 - 1, k2Pow55}, {k2Pow55, k2Pow55}}) {
    SCOPED_TRACE(c.requested);
    EXPECT_EQ(local_deque_capacity(c.requested), c.expected);
  }
  for (std::uint64_t requested : {k2Pow55 + 1, std::uint64_t{1} << 63, ~std::uint64_t{0}}) {
    EXPECT_EQ(local_deque_capacity(requested),
              std::unexpected(ExecutorError::InvalidLocalQueueInitialCapacity{requested}));
  }
}

TEST(ExecutorConstructionTest, RejectsConfigurationsBeforeStartingAnyThread) {
  // 4097 workers would be 4097 threads: the check must come first.
  EXPECT_EQ(Executor::create(small_config(4097)).error(), ExecutorError::InvalidConfiguration{});
  EXPECT_EQ(Executor::create(small_config(1, 8192, k2Pow55 + 1)).error(),
            ExecutorError::InvalidLocalQueueInitialCapacity{k2Pow55 + 1});
  // The admission check comes before the deque check.
  EXPECT_EQ(Executor::create(small_config(4097, 8192, k2Pow55 + 1)).error(), ExecutorError::InvalidConfiguration{});
}

TEST(ExecutorConstructionTest, BuildsQueuesWithTheDerivedCapacities) {
  struct Case {
    std::uint64_t workers, total, local_requested, ring, class1;
  };
  for (const Case& c : std::vector<Case>{{1, 8192, 0, 8192, 16}, {2, 8192, 1, 4096, 16}, {3, 8192, 16, 2048, 16},
                                         {1, 8, 17, 8, 32}, {0, 64, 128, 64, 128}}) {
    SCOPED_TRACE(::testing::Message() << c.workers << " workers, local " << c.local_requested);
    Executor executor = make_executor(small_config(c.workers, c.total, c.local_requested));
    SchedulerCore& core = executor.scheduler();
    ASSERT_EQ(core.worker_count(), std::max<std::uint64_t>(c.workers, 1));
    for (std::size_t i = 0; i < core.worker_count(); ++i) {
      WorkerQueues& queues = core.worker(i).queues;
      EXPECT_EQ(queues.ring.capacity(), c.ring);
      EXPECT_EQ(queues.deques[0].capacity(), 16u);
      EXPECT_EQ(queues.deques[1].capacity(), c.class1);
      EXPECT_EQ(queues.deques[2].capacity(), 16u);
      EXPECT_EQ(queues.deques[3].capacity(), 16u);
    }
    EXPECT_EQ(executor.lifetime().worker_count, core.worker_count());
  }
}

}  // namespace
}  // namespace drovek
