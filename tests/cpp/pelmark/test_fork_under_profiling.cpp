// fork() while other threads keep allocating with every allocation recorded:
// the forking thread must get past the profiler's fork gate after the uses
// already under way, not whenever the allocating threads happen to pause.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "pelmark/allocator.h"
#include "pelmark/profiler/fork_gate.h"
#include "pelmark/profiler/profiler_control.h"

namespace pelmark::profiler {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Polls (the limit only bounds a hung run).
bool eventually(auto condition) {
  const auto give_up = Clock::now() + 20s;
  while (!condition()) {
    if (Clock::now() > give_up) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

// Readers that always overlap: at every moment at least one is inside. A
// closer must still get in, and while it holds the gate no reader is inside.
TEST(ForkGate, ClosesAgainstReadersThatNeverAllLeave) {
  ForkGate gate;
  std::atomic<int> inside{0};
  std::atomic<bool> overlap_seen{false}, reader_inside_closed{false}, closed{false}, stop{false};
  std::vector<std::thread> readers;
  for (int r = 0; r < 4; ++r) {
    readers.emplace_back([&, r] {
      std::this_thread::sleep_for(std::chrono::microseconds(50 * r));  // staggered
      while (!stop.load()) {
        ForkGate::Passage passage(gate);
        if (closed.load()) reader_inside_closed = true;
        if (inside.fetch_add(1) > 0) overlap_seen = true;
        std::this_thread::sleep_for(200us);
        inside.fetch_sub(1);
      }
    });
  }
  ASSERT_TRUE(eventually([&] { return overlap_seen.load(); }));
  for (int round = 0; round < 20; ++round) {
    std::atomic<bool> done{false};
    std::thread closer([&] {
      gate.close();
      closed = true;
      if (inside.load() != 0) reader_inside_closed = true;
      std::this_thread::sleep_for(1ms);
      closed = false;
      gate.open();
      done = true;
    });
    const bool closed_in_time = eventually([&] { return done.load(); });
    if (!closed_in_time) {
      // Let the closer through so the test can end.
      stop = true;
      closer.join();
    } else {
      closer.join();
    }
    ASSERT_TRUE(closed_in_time) << "round " << round;
  }
  stop = true;
  for (std::thread& reader : readers) reader.join();
  EXPECT_FALSE(reader_inside_closed.load());
}

TEST(ForkGate, ClosersTakeTurnsAndWaitingReadersResume) {
  ForkGate gate;
  std::atomic<int> holding{0};
  std::atomic<bool> both_held{false};
  std::atomic<long> passages{0};
  std::atomic<bool> stop{false};
  std::vector<std::thread> threads;
  for (int c = 0; c < 2; ++c) {
    threads.emplace_back([&] {
      for (int round = 0; round < 200; ++round) {
        gate.close();
        if (holding.fetch_add(1) > 0) both_held = true;
        holding.fetch_sub(1);
        gate.open();
      }
    });
  }
  for (int r = 0; r < 3; ++r) {
    threads.emplace_back([&] {
      while (!stop.load()) {
        ForkGate::Passage passage(gate);
        passages.fetch_add(1);
      }
    });
  }
  threads[0].join();
  threads[1].join();
  const long before = passages.load();
  EXPECT_TRUE(eventually([&] { return passages.load() > before + 100; })) << "readers stayed behind the gate";
  stop = true;
  for (std::size_t t = 2; t < threads.size(); ++t) threads[t].join();
  EXPECT_FALSE(both_held.load());
}

// In a child: every case needs the profiler on, which cannot be undone.
[[noreturn]] void fork_repeatedly_under_allocation_load() {
  enable_sampling(4096);
  enable_leak_detector();
  std::atomic<bool> stop{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&stop, t] {
      constexpr std::size_t kSizes[] = {16, 72, 400, 2048, 9000, 40000, 150000};
      std::vector<void*> held;
      std::size_t step = static_cast<std::size_t>(t);
      while (!stop.load(std::memory_order_relaxed)) {
        held.push_back(allocate(kSizes[step++ % std::size(kSizes)], 16));
        if (held.size() == 16) {
          for (void* block : held) deallocate(block);
          held.clear();
        }
      }
      for (void* block : held) deallocate(block);
    });
  }
  std::this_thread::sleep_for(50ms);  // let the threads get going
  // Generous: a fork here takes a few milliseconds (more under the
  // sanitizers); the gate adds at most the uses under way when it closes. A
  // fork held off by the allocating threads waits for hundreds of
  // milliseconds to seconds.
  constexpr double kSlowestMilliseconds = 250.0;
  for (int round = 0; round < 60; ++round) {
    const auto before = Clock::now();
    const pid_t child = fork();
    if (child == 0) _exit(0);
    const double milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - before).count();
    if (child < 0 || milliseconds > kSlowestMilliseconds) {
      std::fprintf(stderr, "fork %d: %s after %.1f ms\n", round, child < 0 ? "failed" : "returned", milliseconds);
      std::_Exit(1);
    }
    int status = 0;
    waitpid(child, &status, 0);
  }
  stop = true;
  for (std::thread& thread : threads) thread.join();
  std::_Exit(0);
}

TEST(ForkUnderProfilingDeathTest, ForkIsNotHeldOffByAllocatingThreads) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(fork_repeatedly_under_allocation_load(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace pelmark::profiler
