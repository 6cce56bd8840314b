// Ends the test program when one test runs far longer than any of them
// should: a deadlock then fails the run instead of hanging it. Armed for
// every test of this program through a gtest listener.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/address_wait.h"
#include "platform/threads.h"

namespace {

// Generous: stress tests take seconds, and ThreadSanitizer slows them ~10x.
constexpr std::chrono::seconds kTestTimeLimit{180};

// Never destroyed: its thread waits on it until the process ends. The thread
// and its wait are the platform's own (not std::thread and a condition
// variable): a MinGW-built program whose detached winpthreads thread waits
// on a condition variable now and then hangs at exit under Wine.
class Watchdog {
 public:
  Watchdog() {
    auto thread = platform::spawn_thread("deadlock-watchdog", std::size_t{256} << 10, [this] { watch(); });
    if (thread) thread->detach();
  }

  void arm(std::string name) {
    {
      std::lock_guard lock(mutex_);
      name_ = std::move(name);
      deadline_ = std::chrono::steady_clock::now() + kTestTimeLimit;
      armed_ = true;
    }
    announce_change();
  }

  void disarm() {
    {
      std::lock_guard lock(mutex_);
      armed_ = false;
    }
    announce_change();
  }

 private:
  void announce_change() {
    changes_.fetch_add(1, std::memory_order_release);
    platform::wake_by_address_all(changes_);
  }

  void watch() {
    for (;;) {
      const std::uint32_t seen = changes_.load(std::memory_order_acquire);
      std::unique_lock lock(mutex_);
      if (!armed_) {
        lock.unlock();
        platform::wait_on_address(changes_, seen);
        continue;
      }
      const auto left = deadline_ - std::chrono::steady_clock::now();
      if (left <= std::chrono::steady_clock::duration::zero()) {
        std::fprintf(stderr, "deadlock watchdog: %s did not finish within %lld s\n", name_.c_str(),
                     static_cast<long long>(kTestTimeLimit.count()));
        std::fflush(stderr);
        std::abort();
      }
      lock.unlock();
      const auto left_ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
      platform::wait_on_address_for(changes_, seen, static_cast<std::uint32_t>(std::min<long long>(left_ms, 60'000)));
    }
  }

  std::mutex mutex_;
  std::atomic<std::uint32_t> changes_{0};
  bool armed_ = false;
  std::string name_;
  std::chrono::steady_clock::time_point deadline_{};
};

class DeadlockWatchdog : public testing::EmptyTestEventListener {
 public:
  void OnTestStart(const testing::TestInfo& info) override {
    watchdog_.arm(std::string(info.test_suite_name()) + "." + info.name());
  }
  void OnTestEnd(const testing::TestInfo&) override { watchdog_.disarm(); }

 private:
  Watchdog& watchdog_ = *new Watchdog;
};

// The listener list owns (and at exit deletes) the listener.
const bool kRegistered = [] {
  testing::UnitTest::GetInstance()->listeners().Append(new DeadlockWatchdog);
  return true;
}();

}  // namespace
