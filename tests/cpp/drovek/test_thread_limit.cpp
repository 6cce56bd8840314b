// The per-process cap on the threads of one parallel call: how it caps a
// count, and the split a call makes under it while the pool keeps its size.

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "drovek/executor/thread_limit.h"
#include "drovek/parallel/parallel_call.h"
#include "drovek/parallel/task_range.h"
#include "support/test_jobs.h"

namespace drovek {
namespace {

using testing_support::CountingSource;
using testing_support::make_executor;

// Sets the cap for one test and lifts it afterwards, whatever happens.
struct ScopedLimit {
  explicit ScopedLimit(std::size_t threads) { set_call_thread_limit(threads); }
  ~ScopedLimit() { set_call_thread_limit(0); }
};

TEST(ThreadLimitTest, CapsACountAndZeroLiftsTheCap) {
  struct Case {
    std::size_t limit, threads, expected;
  };
  const Case cases[] = {
      {0, 5, 5}, {0, 1, 1}, {0, 0, 1},  // no cap; never below one thread
      {1, 5, 1}, {3, 5, 3}, {5, 5, 5}, {8, 5, 5}, {2, 0, 1},
  };
  for (const Case& c : cases) {
    ScopedLimit limit(c.limit);
    EXPECT_EQ(call_thread_limit(), c.limit);
    EXPECT_EQ(limit_call_threads(c.threads), c.expected) << c.limit << " " << c.threads;
  }
  EXPECT_EQ(call_thread_limit(), 0u);
}

TEST(ThreadLimitTest, ACallSplitsIntoAsManyTasksAsTheCapAllowsOnAPoolOfAnySize) {
  Executor executor = make_executor(4);
  CountingSource source{&executor};
  const std::size_t n = 12;
  // Cap -> tasks (the caller runs task 0; 0: the pool's 4 workers and the caller).
  const std::pair<std::size_t, std::size_t> caps[] = {{1, 1}, {2, 2}, {3, 3}, {0, 5}, {9, 5}};
  for (auto [cap, tasks] : caps) {
    ScopedLimit limit(cap);
    std::vector<std::thread::id> runner(n);
    std::vector<int> runs(n, 0);
    auto record = [&](std::size_t i) {
      runner[i] = std::this_thread::get_id();
      ++runs[i];  // each index belongs to one task, so to one thread
    };
    for_each_index_on(source.source(), n, &record,
                      [](void* c, std::size_t i) { (*static_cast<decltype(record)*>(c))(i); });
    const TaskRange first = task_range(n, tasks, 0);
    std::vector<std::thread::id> threads;
    for (std::size_t i = 0; i < n; ++i) {
      EXPECT_EQ(runs[i], 1) << i;
      // The caller runs task 0, and may take back tasks no worker started.
      if (i < first.end) EXPECT_EQ(runner[i], std::this_thread::get_id()) << "cap " << cap << ", index " << i;
      if (std::find(threads.begin(), threads.end(), runner[i]) == threads.end()) threads.push_back(runner[i]);
    }
    EXPECT_LE(threads.size(), tasks) << "cap " << cap;
  }
  EXPECT_EQ(executor.worker_count(), 4u);
}

}  // namespace
}  // namespace drovek
