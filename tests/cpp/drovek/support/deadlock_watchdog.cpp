// Ends the test program when one test runs far longer than any of them
// should: a deadlock then fails the run instead of hanging it. Armed for
// every test of this program through a gtest listener.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace {

// Generous: stress tests take seconds, and ThreadSanitizer slows them ~10x.
constexpr std::chrono::seconds kTestTimeLimit{180};

// Never destroyed: its thread waits on it until the process ends.
class Watchdog {
 public:
  Watchdog() : thread_([this] { watch(); }) { thread_.detach(); }

  void arm(std::string name) {
    std::lock_guard lock(mutex_);
    name_ = std::move(name);
    deadline_ = std::chrono::steady_clock::now() + kTestTimeLimit;
    armed_ = true;
    changed_.notify_all();
  }

  void disarm() {
    std::lock_guard lock(mutex_);
    armed_ = false;
    changed_.notify_all();
  }

 private:
  void watch() {
    std::unique_lock lock(mutex_);
    for (;;) {
      if (!armed_) {
        changed_.wait(lock);
        continue;
      }
      const auto deadline = deadline_;
      if (changed_.wait_until(lock, deadline) == std::cv_status::timeout && armed_ && deadline_ == deadline) {
        std::fprintf(stderr, "deadlock watchdog: %s did not finish within %lld s\n", name_.c_str(),
                     static_cast<long long>(kTestTimeLimit.count()));
        std::fflush(stderr);
        std::abort();
      }
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  bool armed_ = false;
  std::string name_;
  std::chrono::steady_clock::time_point deadline_{};
  std::thread thread_;
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
