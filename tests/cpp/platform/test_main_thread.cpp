// Which thread is the process's main thread: the one it started with, and
// in a child of fork() the forking thread, whichever thread that was in the
// parent.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "platform/threads.h"

namespace platform {
namespace {

TEST(MainThreadTest, TheStartingThreadAndInAForkChildTheForkingOne) {
  ASSERT_TRUE(on_process_main_thread());
  bool other_is_main = true;
  int child_status = -1;
  std::thread([&] {
    other_is_main = on_process_main_thread();
    const pid_t child = fork();
    if (child == 0) _exit(on_process_main_thread() ? 0 : 1);
    waitpid(child, &child_status, 0);
    // Still not the parent's main thread after forking.
    if (on_process_main_thread()) other_is_main = true;
  }).join();
  EXPECT_FALSE(other_is_main);
  EXPECT_TRUE(WIFEXITED(child_status) && WEXITSTATUS(child_status) == 0);
  EXPECT_TRUE(on_process_main_thread());
}

}  // namespace
}  // namespace platform
