// The process-wide decay thread, started by the configuration step from
// PELMARK_PURGE_CADENCE_MS. Each case runs in a fresh child process: the step
// runs once per process and the thread never exits.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#include <tlhelp32.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "pelmark/allocator.h"
#include "pelmark/configuration.h"
#include "pelmark/decay_scheduler.h"
#include "pelmark/process_allocator.h"
#include "pelmark/segment_geometry.h"
#include "pelmark/segment_header.h"
#include "support/environment_variable.h"

#if defined(__SANITIZE_THREAD__)
// The thread sanitizer refuses new threads in the child of a multi-threaded
// fork unless told otherwise; a forked child here must start its own decay
// thread.
extern "C" const char* __tsan_default_options() { return "die_after_fork=0"; }
#endif

namespace pelmark {
namespace {

using namespace std::chrono_literals;

struct ThreadCount {
  int all = 0;
  int named = 0;
};

#if defined(_WIN32)
// Every thread of this process in the system's snapshot, named by its
// description.
ThreadCount count_threads(const std::string& name) {
  ThreadCount count;
  const std::wstring wide_name(name.begin(), name.end());
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return count;
  using GetDescription = HRESULT(WINAPI*)(HANDLE, PWSTR*);
  const auto get_description = reinterpret_cast<GetDescription>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription")));
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != GetCurrentProcessId()) continue;
    ++count.all;
    HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID);
    if (thread == nullptr || get_description == nullptr) continue;
    PWSTR description = nullptr;
    if (SUCCEEDED(get_description(thread, &description)) && description != nullptr) {
      if (wide_name == description) ++count.named;
      LocalFree(description);
    }
    CloseHandle(thread);
  }
  CloseHandle(snapshot);
  return count;
}
#else
ThreadCount count_threads(const std::string& name) {
  ThreadCount count;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    ++count.all;
    std::ifstream comm(task.path() / "comm");
    std::string line;
    if (std::getline(comm, line) && line == name) ++count.named;
  }
  return count;
}
#endif

// Threads present before any decay thread could exist. The thread sanitizer
// starts a helper thread of its own with the first new thread, so one thread
// is started and joined first to have it counted.
int threads_before_decay() {
  std::thread([] {}).join();
  return count_threads(kDecayThreadName).all;
}

[[noreturn]] void fail_child(const std::string& what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  std::_Exit(1);
}

// Polls (no timing assertion: the limit only bounds a hung run).
bool eventually(auto condition) {
  const auto give_up = std::chrono::steady_clock::now() + 20s;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > give_up) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

void no_thread_without_cadence(const char* cadence) {
  if (cadence != nullptr) {
    test_support::set_environment_variable(kPurgeCadenceVariable, cadence);
  } else {
    test_support::unset_environment_variable(kPurgeCadenceVariable);
  }
  // Any thread beyond those would be a decay thread that has not named
  // itself yet.
  const int before = threads_before_decay();
  pelmark::deallocate(pelmark::allocate(64, 16));
  const ThreadCount count = count_threads(kDecayThreadName);
  if (count.all != before || count.named != 0) fail_child("a decay thread runs without a cadence");
  std::_Exit(0);
}

TEST(DecayProcessDeathTest, NoThreadWhenTheCadenceIsZeroOrUnset) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (const char* cadence : {static_cast<const char*>(nullptr), "0", "+0", "junk"}) {
    EXPECT_EXIT(no_thread_without_cadence(cadence), ::testing::ExitedWithCode(0), "")
        << (cadence ? cadence : "unset");
  }
}

void decay_gives_back_what_no_one_holds() {
  test_support::set_environment_variable(kPurgeCadenceVariable, "100");
  const int before = threads_before_decay();
  void* first = pelmark::allocate(64, 16);  // runs the step, which starts the thread
  start_decay();
  // A new thread names itself, so wait for the name; it must then be the
  // only thread added.
  if (!eventually([] { return count_threads(kDecayThreadName).named >= 1; })) fail_child("no decay thread");
  const ThreadCount count = count_threads(kDecayThreadName);
  if (count.all != before + 1 || count.named != 1) {
    fail_child("threads: " + std::to_string(count.all) + ", named: " + std::to_string(count.named));
  }
  // Only the main heap's segment so far.
  const std::uint64_t main_heap_bytes = process_statistics().bytes_mapped;

  constexpr std::size_t kHugeBytes = std::size_t{3} << 20;
  std::vector<void*> small;
  void* live_huge = nullptr;
  std::thread([&] {
    for (int i = 0; i < 5000; ++i) small.push_back(pelmark::allocate(1024, 16));
    void* cached_a = pelmark::allocate(kHugeBytes, 64);
    void* cached_b = pelmark::allocate(kHugeBytes + 4096, 64);
    live_huge = pelmark::allocate(kHugeBytes, 64);
    pelmark::deallocate(cached_a);
    pelmark::deallocate(cached_b);
  }).join();  // its segments are abandoned, all still holding blocks

  void* kept = small.front();
  for (std::size_t i = 1; i < small.size(); ++i) pelmark::deallocate(small[i]);
  const std::uint64_t expected = main_heap_bytes + kArenaMappingSize + segment_of(live_huge)->huge_mapping_size;
  if (!eventually([&] { return process_statistics().bytes_mapped == expected; })) {
    fail_child("bytes mapped stayed at " + std::to_string(process_statistics().bytes_mapped) + ", expected " +
               std::to_string(expected));
  }
  Arena& arena = process_arena();
  if (arena.abandoned_segment_count() != 1 || arena.retained_segment_count() != 0 ||
      arena.cached_huge_count() != 0) {
    fail_child("pools not emptied");
  }

  pelmark::deallocate(kept);
  pelmark::deallocate(live_huge);
  if (!eventually([&] { return process_statistics().bytes_mapped == main_heap_bytes; })) {
    fail_child("bytes mapped stayed at " + std::to_string(process_statistics().bytes_mapped));
  }
  pelmark::deallocate(first);
  std::_Exit(0);
}

TEST(DecayProcessDeathTest, OneThreadGivesBackEverythingNoOneHolds) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(decay_gives_back_what_no_one_holds(), ::testing::ExitedWithCode(0), "");
}

#if !defined(_WIN32)  // fork() is Linux-only
// A child made by fork() has only the forking thread: it needs a decay
// thread of its own, which then gives back what the child caches.
void forked_child_gets_its_own_decay_thread() {
  ::setenv(kPurgeCadenceVariable, "50", 1);
  void* first = pelmark::allocate(64, 16);  // starts the thread
  if (!eventually([] { return count_threads(kDecayThreadName).named == 1; })) fail_child("no decay thread");
  for (int round = 0; round < 3; ++round) {
    const pid_t child = fork();
    if (child == 0) {
      if (!eventually([] { return count_threads(kDecayThreadName).named == 1; })) std::_Exit(2);
      // A huge block freed is cached for reuse; the child's decay unmaps it.
      pelmark::deallocate(pelmark::allocate(std::size_t{3} << 20, 64));
      if (!eventually([] { return process_arena().cached_huge_count() == 0; })) std::_Exit(3);
      std::_Exit(0);
    }
    if (child < 0) fail_child("fork failed");
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      fail_child("forked child, round " + std::to_string(round) + ": status " + std::to_string(status));
    }
  }
  pelmark::deallocate(first);
  std::_Exit(0);
}

TEST(DecayProcessDeathTest, ForkedChildGetsItsOwnThread) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(forked_child_gets_its_own_decay_thread(), ::testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
}  // namespace pelmark
