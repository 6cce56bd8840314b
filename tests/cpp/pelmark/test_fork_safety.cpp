// fork() while other threads use the process allocator: the child must be
// able to allocate and free at once, whatever locks those threads held.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <thread>
#include <vector>

#include "pelmark/allocator.h"
#include "pelmark/process_allocator.h"

namespace pelmark {
namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;
// Small, page-sized, the largest class, huge (cached: 100 KiB, 3 MiB) and
// huge beyond the cache (20 MiB).
constexpr std::size_t kSizes[] = {64, 4096, 16384, 100000, 3 * kMiB, 20 * kMiB};

void allocate_and_free_every_size() {
  for (int round = 0; round < 3; ++round) {
    std::vector<void*> blocks;
    for (std::size_t size : kSizes) {
      void* block = allocate(size, 64);
      std::memset(block, 0x5A, 64);
      blocks.push_back(block);
    }
    for (void* block : blocks) deallocate(block);
  }
  collect();
  release_all_cached();
}

enum class ChildEnd { kExited, kFailed, kHung };

// Forks; the child runs `work` and leaves with _exit(0). The parent waits up
// to 20 s for it and kills it when it hangs.
template <typename Work>
ChildEnd run_in_forked_child(Work work) {
  const pid_t child = fork();
  if (child == 0) {
    work();
    _exit(0);
  }
  if (child < 0) return ChildEnd::kFailed;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    const pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child) return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ChildEnd::kExited : ChildEnd::kFailed;
    if (done < 0) return ChildEnd::kFailed;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  return ChildEnd::kHung;
}

TEST(ForkSafety, ChildAllocatesWhileOtherThreadsHeldTheLocks) {
  std::atomic<bool> stop{false};
  std::vector<std::thread> workers;
  // Two workers cycle one cached huge size, so that its cache's lock is held
  // for much of their time; one cycles through every size and the pools.
  for (int t = 0; t < 2; ++t) {
    workers.emplace_back([&stop] {
      while (!stop.load(std::memory_order_relaxed)) deallocate(allocate(100000, 64));
    });
  }
  workers.emplace_back([&stop] {
    std::vector<void*> held;
    std::size_t step = 0;
    while (!stop.load(std::memory_order_relaxed)) {
      held.push_back(allocate(kSizes[step++ % std::size(kSizes)], 64));
      if (held.size() == 8) {
        for (void* block : held) deallocate(block);
        held.clear();
        collect();
        if (step % 64 == 0) release_all_cached();
      }
    }
    for (void* block : held) deallocate(block);
  });
  for (int fork_round = 0; fork_round < 20; ++fork_round) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));  // let the workers get busy
    const ChildEnd end = run_in_forked_child(allocate_and_free_every_size);
    EXPECT_EQ(end, ChildEnd::kExited) << "fork round " << fork_round;
    if (end != ChildEnd::kExited) break;
  }
  stop = true;
  for (std::thread& worker : workers) worker.join();
  // The parent still works after its forks.
  allocate_and_free_every_size();
}

}  // namespace
}  // namespace pelmark
