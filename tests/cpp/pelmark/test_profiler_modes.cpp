// The profiler's modes through the process allocator. A mode cannot be
// turned off, so every case runs in a child process of its own.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <atomic>
#include <chrono>
#include <vector>

#if defined(__linux__)
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "pelmark/allocator.h"
#include "pelmark/process_lifetime.h"
#include "pelmark/profiler/leak_report.h"
#include "pelmark/profiler/process_profiler.h"
#include "pelmark/profiler/profiler_control.h"
#include "pelmark/profiler/thread_profiler_state.h"
#include "support/environment_variable.h"

namespace pelmark::profiler {
namespace {

class ProfilerModes : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

// In a child: ends it with status 1 and the reason when `condition` fails.
void check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "child check failed: %s\n", what);
  std::exit(1);
}

// exit() rather than _Exit(): the sanitizers report (and change the status)
// at exit, and the leak report is written then.
[[noreturn]] void succeed() { std::exit(0); }

struct Block {
  void* address;
  std::size_t size;
};

std::vector<Block> allocate_blocks(std::size_t count) {
  // Small classes, a page-sized one, and the huge path.
  constexpr std::size_t kSizes[] = {1, 24, 100, 4096, 20000, 3u << 20};
  std::vector<Block> blocks;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t size = kSizes[i % std::size(kSizes)] + i;
    blocks.push_back({allocate(size, 16), size});
  }
  return blocks;
}

std::size_t recorded_among(const std::vector<Block>& blocks) {
  std::set<std::pair<std::uintptr_t, std::uint64_t>> live;
  for (const LiveAllocation& record : live_allocations_snapshot()) live.insert({record.address, record.requested_size});
  std::size_t count = 0;
  for (const Block& block : blocks) count += live.count({reinterpret_cast<std::uintptr_t>(block.address), block.size});
  return count;
}

void free_blocks(const std::vector<Block>& blocks) {
  for (const Block& block : blocks) deallocate(block.address);
}

bool no_shard_has_records() {
  for (std::uint32_t shard = 0; shard < LiveTable::kShardCount; ++shard) {
    if (process_live_table().shard_has_records(shard)) return false;
  }
  return true;
}

TEST_F(ProfilerModes, SamplingWithIntervalZeroRecordsEveryAllocation) {
  EXPECT_EXIT(
      {
        enable_sampling(0);
        const auto blocks = allocate_blocks(60);
        check(recorded_among(blocks) == blocks.size(), "every block recorded");
        free_blocks(blocks);
        check(recorded_among(blocks) == 0, "no block left after the frees");
        check(process_stack_interner().stack_count() == 0, "no stack left");
        succeed();
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(ProfilerModes, FirstAllocationOfEachThreadIsSampled) {
  EXPECT_EXIT(
      {
        // An interval so long that nothing but the first allocation of a
        // thread can be sampled.
        enable_sampling(std::uint64_t{1} << 60);
        for (int thread = 0; thread < 3; ++thread) {
          std::thread([] {
            const auto blocks = allocate_blocks(10);
            check(recorded_among({blocks[0]}) == 1, "the first allocation recorded");
            check(recorded_among(blocks) == 1, "only the first allocation recorded");
            check(t_profiler_state.countdown > 0, "a countdown drawn");
            free_blocks(blocks);
          }).join();
        }
        check(process_live_table().record_count() == 0, "records gone with the frees");
        succeed();
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(ProfilerModes, BothModesRecordEverythingAndLeaveTheCountdownAlone) {
  EXPECT_EXIT(
      {
        enable_sampling(std::uint64_t{1} << 60);
        enable_leak_detector();
        std::thread([] {
          const auto blocks = allocate_blocks(60);
          check(recorded_among(blocks) == blocks.size(), "every block recorded");
          check(t_profiler_state.countdown == 0 && t_profiler_state.generator == 0, "countdown untouched");
          free_blocks(blocks);
          check(recorded_among(blocks) == 0, "no block left after the frees");
        }).join();
        check(no_shard_has_records(), "every has-records flag clear");
        check(process_stack_interner().stack_count() == 0, "no stack left");
        succeed();
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(ProfilerModes, LeakDetectorFollowsCrossThreadFrees) {
  EXPECT_EXIT(
      {
        enable_leak_detector();
        constexpr int kThreads = 4;
        std::vector<std::vector<Block>> made(kThreads);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
          threads.emplace_back([&made, t] {
            for (int round = 0; round < 20; ++round) {
              auto blocks = allocate_blocks(20);
              // Free half here, hand the rest to another thread.
              free_blocks({blocks.begin(), blocks.begin() + 10});
              made[t].insert(made[t].end(), blocks.begin() + 10, blocks.end());
            }
          });
        }
        for (auto& thread : threads) thread.join();
        threads.clear();
        for (int t = 0; t < kThreads; ++t) {
          check(recorded_among(made[t]) == made[t].size(), "handed-over blocks recorded");
        }
        for (int t = 0; t < kThreads; ++t) {
          threads.emplace_back([&made, t] { free_blocks(made[(t + 1) % kThreads]); });
        }
        for (auto& thread : threads) thread.join();
        check(process_live_table().record_count() == 0, "every record gone");
        check(no_shard_has_records(), "every has-records flag clear");
        check(process_stack_interner().stack_count() == 0, "no stack left");
        succeed();
      },
      ::testing::ExitedWithCode(0), "");
}

// Searched with std::regex: GoogleTest's own expressions on Windows have no
// brackets or groups. Standard error there ends its lines with \r\n.
class ContainsStdRegex : public ::testing::MatcherInterface<const std::string&> {
 public:
  explicit ContainsStdRegex(std::string pattern) : pattern_(std::move(pattern)), regex_(pattern_) {}
  bool MatchAndExplain(const std::string& text, ::testing::MatchResultListener*) const override {
    return std::regex_search(text, regex_);
  }
  void DescribeTo(std::ostream* out) const override { *out << "contains regular expression " << pattern_; }

 private:
  std::string pattern_;
  std::regex regex_;
};

::testing::Matcher<const std::string&> contains_std_regex(std::string pattern) {
  return ::testing::MakeMatcher(new ContainsStdRegex(std::move(pattern)));
}

const char kOneLeakReport[] =
    "pelmark leak report: 1 live allocation\r?\nleak address=0x[0-9a-f]+ size=12345 frames=0x[0-9a-f]+(,0x[0-9a-f]+)+\r?\n";

TEST_F(ProfilerModes, LeakReportListsLiveRecordsAtExitOnStandardError) {
  EXPECT_EXIT(
      {
        enable_leak_detector();
        void* freed = allocate(50, 16);
        (void)allocate(12345, 64);
        deallocate(freed);
        succeed();
      },
      ::testing::ExitedWithCode(0), contains_std_regex(kOneLeakReport));
}

TEST_F(ProfilerModes, LeakReportGoesToTheNamedFile) {
  const std::string path = ::testing::TempDir() + "pelmark_leak_report_test.txt";
  std::remove(path.c_str());
  EXPECT_EXIT(
      {
        test_support::set_environment_variable("PELMARK_LEAK_REPORT", path.c_str());
        enable_leak_detector();
        (void)allocate(777, 16);
        (void)allocate(778, 16);
        succeed();
      },
      ::testing::ExitedWithCode(0), "");
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  EXPECT_NE(text.str().find("pelmark leak report: 2 live allocations\n"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find(" size=777 frames=0x"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find(" size=778 frames=0x"), std::string::npos) << text.str();
  std::remove(path.c_str());
}

std::string read_file(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// Blocks meant to live for the whole process are left out of the report, on
// the thread that made them inside the scope only, and nested scopes restore
// the outer one's state.
TEST_F(ProfilerModes, LeakReportLeavesOutProcessLifetimeBlocks) {
  const std::string path = ::testing::TempDir() + "pelmark_leak_report_lifetime.txt";
  std::remove(path.c_str());
  EXPECT_EXIT(
      {
        test_support::set_environment_variable("PELMARK_LEAK_REPORT", path.c_str());
        enable_leak_detector();
        {
          const ProcessLifetimeAllocations lifetime;
          (void)allocate(1001, 16);
          {
            const ProcessLifetimeAllocations not_switched_off(false);
            (void)allocate(1002, 16);
          }
          (void)allocate(1003, 16);
          std::thread([] { (void)allocate(2001, 16); }).join();  // another thread: a leak
        }
        check(!allocating_for_process_lifetime(), "the scope ended");
        (void)allocate(3001, 16);
        deallocate(allocate(3002, 16));
        succeed();
      },
      ::testing::ExitedWithCode(0), "");
  const std::string report = read_file(path);
  EXPECT_TRUE(report.starts_with("pelmark leak report: 2 live allocations\n")) << report;
  for (const char* left_out : {" size=1001 ", " size=1002 ", " size=1003 ", " size=3002 "}) {
    EXPECT_EQ(report.find(left_out), std::string::npos) << left_out << "\n" << report;
  }
  for (const char* listed : {" size=2001 ", " size=3001 "}) {
    EXPECT_NE(report.find(listed), std::string::npos) << listed << "\n" << report;
  }
  std::remove(path.c_str());
}

TEST_F(ProfilerModes, LeakReportOfAProgramThatLeaksNothingIsEmpty) {
  const std::string path = ::testing::TempDir() + "pelmark_leak_report_empty.txt";
  std::remove(path.c_str());
  EXPECT_EXIT(
      {
        test_support::set_environment_variable("PELMARK_LEAK_REPORT", path.c_str());
        enable_leak_detector();
        {
          const ProcessLifetimeAllocations lifetime;
          (void)allocate(4096, 64);
        }
        free_blocks(allocate_blocks(30));
        succeed();
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(read_file(path), "pelmark leak report: 0 live allocations\n");
  std::remove(path.c_str());
}

// A deterministic computation whose every buffer comes from pelmark, on two
// threads; the digest covers every bit of its results.
std::uint64_t workload_digest() {
  std::uint64_t digests[2] = {};
  auto part = [&digests](int which) {
    std::uint64_t digest = 0xcbf29ce484222325u;
    for (int round = 0; round < 200; ++round) {
      const std::size_t n = 16 + static_cast<std::size_t>((round * 37 + which * 11) % 700);
      auto* values = static_cast<double*>(allocate(n * sizeof(double), 64));
      for (std::size_t i = 0; i < n; ++i) values[i] = 1.0 / static_cast<double>(i + round + 1 + which);
      auto* sums = static_cast<double*>(allocate(n * sizeof(double), 16));
      double running = 0;
      for (std::size_t i = 0; i < n; ++i) sums[i] = running += values[i] * values[n - 1 - i];
      std::uint64_t bits;
      std::memcpy(&bits, &sums[n - 1], sizeof bits);
      digest = (digest ^ bits) * 0x100000001b3u;
      deallocate(values);
      deallocate(sums);
    }
    digests[which] = digest;
  };
  std::thread other(part, 1);
  part(0);
  other.join();
  return digests[0] ^ (digests[1] * 3);
}

enum class Modes { kOff, kSampling, kLeakDetector, kBoth };

TEST_F(ProfilerModes, WorkloadResultsAreIdenticalUnderEveryMode) {
  const std::uint64_t expected = workload_digest();
  char pattern[64];
  std::snprintf(pattern, sizeof pattern, "digest=%016llx\n", static_cast<unsigned long long>(expected));
  for (Modes modes : {Modes::kOff, Modes::kSampling, Modes::kLeakDetector, Modes::kBoth}) {
    EXPECT_EXIT(
        {
          if (modes == Modes::kSampling || modes == Modes::kBoth) enable_sampling(512);
          if (modes == Modes::kLeakDetector || modes == Modes::kBoth) enable_leak_detector();
          std::fprintf(stderr, "digest=%016llx\n", static_cast<unsigned long long>(workload_digest()));
          succeed();
        },
        ::testing::ExitedWithCode(0), pattern)
        << static_cast<int>(modes);
  }
}

// With every allocation recorded, other threads hold profiler locks much of
// the time; a child forked meanwhile must still record and forget.
TEST_F(ProfilerModes, ChildForkedWhileOtherThreadsRecordKeepsRecording) {
#if !defined(__linux__)
  GTEST_SKIP() << "fork() exists on Linux only";
#else
  EXPECT_EXIT(
      {
        enable_leak_detector();
        std::atomic<bool> stop{false};
        std::vector<std::thread> threads;
        for (int t = 0; t < 2; ++t) {
          threads.emplace_back([&stop] {
            while (!stop.load(std::memory_order_relaxed)) deallocate(allocate(48, 16));
          });
        }
        for (int round = 0; round < 20; ++round) {
          const pid_t child = fork();
          if (child == 0) {
            const std::vector<Block> blocks = allocate_blocks(12);
            const bool recorded = recorded_among(blocks) == blocks.size();
            for (const Block& block : blocks) deallocate(block.address);
            _exit(recorded && recorded_among(blocks) == 0 ? 0 : 1);
          }
          check(child > 0, "fork");
          const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
          int status = 0;
          pid_t done = 0;
          while (done == 0 && std::chrono::steady_clock::now() < deadline) {
            done = waitpid(child, &status, WNOHANG);
            if (done == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
          }
          if (done == 0) kill(child, SIGKILL);
          if (done != child) std::fprintf(stderr, "round %d\n", round);
          check(done == child, "the forked child hung");
          check(WIFEXITED(status) && WEXITSTATUS(status) == 0, "the forked child recorded wrongly");
        }
        stop = true;
        for (std::thread& thread : threads) thread.join();
        succeed();
      },
      ::testing::ExitedWithCode(0), "");
#endif
}

}  // namespace
}  // namespace pelmark::profiler
