// The process-wide executor created while the address space is nearly
// exhausted: the first parallel call fails with std::bad_alloc (nothing of
// the attempt is kept), and a later call, once memory is available again,
// creates the executor and runs. In a child process with a capped address
// space; the sanitizers reserve address space of their own and cannot run
// under such a cap.

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "drovek/executor/global_executor.h"
#include "drovek/parallel/parallel_for.h"

namespace drovek {
namespace {

std::uint64_t address_space_bytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmSize:")) return std::stoull(line.substr(7)) * 1024;
  }
  return 0;
}

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::_Exit(1);
}

bool every_index_once() {
  std::vector<int> seen(5000, 0);
  for_each_index(seen.size(), [&](std::size_t i) { ++seen[i]; });
  return seen == std::vector<int>(seen.size(), 1);
}

[[noreturn]] void creation_under_a_capped_address_space() {
  rlimit original{};
  if (getrlimit(RLIMIT_AS, &original) != 0) fail("getrlimit");
  std::vector<int> seen(5000, 0);  // the test's own memory, before the cap
  int refused = 0;
  // Room for little beyond what is mapped already: 0 to 12 MiB.
  for (std::uint64_t room_mib = 0; room_mib <= 12 && global_executor_if_created() == nullptr; room_mib += 2) {
    rlimit capped = original;
    capped.rlim_cur = address_space_bytes() + (room_mib << 20);
    if (setrlimit(RLIMIT_AS, &capped) != 0) fail("setrlimit");
    try {
      if (!every_index_once()) fail("wrong pieces under the cap");
    } catch (const std::bad_alloc&) {
      ++refused;
      if (global_executor_if_created() != nullptr) fail("a refused creation left an executor");
    }
    if (setrlimit(RLIMIT_AS, &original) != 0) fail("setrlimit");
  }
  if (refused == 0) fail("no creation was refused");
  if (!every_index_once()) fail("wrong pieces after the cap");
  if (global_executor_if_created() == nullptr) fail("no executor after the cap");
  std::_Exit(0);
}

TEST(GlobalExecutorMemoryDeathTest, RefusedCreationIsRetriedByALaterCall) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers cannot run under a capped address space";
#endif
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(creation_under_a_capped_address_space(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace drovek
