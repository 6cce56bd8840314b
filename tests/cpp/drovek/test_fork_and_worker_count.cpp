// The process-wide executor across fork() and its worker count: a child
// starts without an executor and builds its own on its first parallel call
// (instead of waiting for ever on workers it did not inherit), and that
// executor has one worker per processor the child may run on, unless
// KAVO_NUM_THREADS says otherwise.

#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <thread>
#include <vector>

#include "drovek/executor/global_executor.h"
#include "drovek/executor/global_worker_count.h"
#include "drovek/parallel/parallel_for.h"

#if defined(__SANITIZE_THREAD__)
// The thread sanitizer refuses new threads in the child of a multi-threaded
// fork unless told otherwise; a child here must start its own workers.
extern "C" const char* __tsan_default_options() { return "die_after_fork=0"; }
#endif

namespace drovek {
namespace {

TEST(GlobalWorkerCountTest, SettingThenAffinityThenProbe) {
  struct Case {
    std::optional<std::uint64_t> setting;
    std::optional<std::uint64_t> allowed;
    std::uint64_t probed;
    std::uint64_t expected;
    bool probe_needed;
  };
  const Case cases[] = {
      {std::nullopt, 1, 8, 1, false},   // taskset -c 0 on an 8-processor machine
      {std::nullopt, 6, 8, 6, false},
      {3, 1, 8, 3, false},              // KAVO_NUM_THREADS wins over the mask
      {3, std::nullopt, 8, 3, false},
      {std::nullopt, std::nullopt, 8, 8, true},
      {std::nullopt, 0, 8, 8, true},    // an empty mask tells nothing
      {std::nullopt, std::nullopt, 0, 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "setting " << c.setting.value_or(0) << ", allowed "
                                      << c.allowed.value_or(0) << ", probed " << c.probed);
    EXPECT_EQ(global_worker_count(c.setting, c.allowed, c.probed), c.expected);
    EXPECT_EQ(global_worker_count_needs_probe(c.setting, c.allowed), c.probe_needed);
  }
}

// Exit codes of a child.
constexpr int kChildPassed = 0;
constexpr int kChildWrongResult = 1;
constexpr int kChildInheritedExecutor = 2;
constexpr int kChildFailedToFork = 3;
constexpr int kChildHung = 4;
constexpr int kChildWrongWorkerCount = 5;
constexpr int kChildCannotSetAffinity = 6;

// Waits up to 20 s for `child`; kills it after that. Its exit code, or
// kChildHung when it had to be killed or did not exit normally.
int wait_for_child(pid_t child) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child) return WIFEXITED(status) ? WEXITSTATUS(status) : kChildHung;
    if (done < 0) return kChildHung;
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return kChildHung;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// A parallel call on the process-wide executor whose every piece must run
// exactly once.
bool parallel_call_covers_every_index() {
  std::vector<std::atomic<int>> runs(4096);
  for_each_index(runs.size(), [&](std::size_t i) { runs[i].fetch_add(1); });
  for (const auto& r : runs) {
    if (r.load() != 1) return false;
  }
  return true;
}

// Runs `body` in a forked child and returns its exit code (the child never
// returns into the test).
template <class Body>
int run_in_child(Body body) {
  const pid_t child = fork();
  if (child < 0) return kChildFailedToFork;
  if (child == 0) _exit(body());
  return wait_for_child(child);
}

// In a child: the inherited executor is gone and a new one serves the call.
int child_parallel_call() {
  if (global_executor_if_created() != nullptr) return kChildInheritedExecutor;
  return parallel_call_covers_every_index() ? kChildPassed : kChildWrongResult;
}

TEST(ForkTest, AChildOfForkRunsParallelCallsOnAFreshExecutor) {
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(::testing::Message() << "round " << round);
    ASSERT_TRUE(parallel_call_covers_every_index());
    ASSERT_NE(global_executor_if_created(), nullptr);
    EXPECT_EQ(run_in_child([] {
                const int first = child_parallel_call();
                if (first != kChildPassed) return first;
                // The child's executor now has workers; its own child must
                // forget it in turn.
                return run_in_child(child_parallel_call);
              }),
              kChildPassed);
  }
  // The parent's executor is untouched.
  EXPECT_TRUE(parallel_call_covers_every_index());
}

// In a child restricted to the first processor it may run on: the worker
// count of the executor it builds.
int child_worker_count_on_one_processor(std::uint64_t expected) {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof(allowed), &allowed) != 0) return kChildCannotSetAffinity;
  int first = 0;
  while (first < CPU_SETSIZE && !CPU_ISSET(first, &allowed)) ++first;
  if (first == CPU_SETSIZE) return kChildCannotSetAffinity;
  cpu_set_t only_first;
  CPU_ZERO(&only_first);
  CPU_SET(first, &only_first);
  if (sched_setaffinity(0, sizeof(only_first), &only_first) != 0) return kChildCannotSetAffinity;
  if (global_executor_if_created() != nullptr) return kChildInheritedExecutor;
  if (global_executor().worker_count() != expected) return kChildWrongWorkerCount;
  return parallel_call_covers_every_index() ? kChildPassed : kChildWrongResult;
}

TEST(ForkTest, TheWorkerCountFollowsTheAffinityMaskUnlessTheSettingOverrides) {
  ASSERT_TRUE(parallel_call_covers_every_index());
  EXPECT_EQ(run_in_child([] {
              unsetenv("KAVO_NUM_THREADS");
              return child_worker_count_on_one_processor(1);
            }),
            kChildPassed);
  EXPECT_EQ(run_in_child([] {
              setenv("KAVO_NUM_THREADS", "3", 1);
              return child_worker_count_on_one_processor(3);
            }),
            kChildPassed);
}

}  // namespace
}  // namespace drovek
