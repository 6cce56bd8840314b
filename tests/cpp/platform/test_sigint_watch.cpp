// SIGINT as an interrupt request once watched: the request is set and the
// handler installed before still runs; ignored and default SIGINT are left
// alone; a handler installed over the watch later gets watched in turn at
// the next check.

#include <gtest/gtest.h>

#include <signal.h>

#include <atomic>
#include <chrono>

#include "platform/interrupt.h"
#include "platform/sigint_watch.h"

namespace platform {
namespace {

using std::chrono::milliseconds;

std::atomic<int> g_first_calls{0};
std::atomic<int> g_second_calls{0};
void first_handler(int) { g_first_calls.fetch_add(1); }
void second_handler(int) { g_second_calls.fetch_add(1); }

using Handler = void (*)(int);

void install(Handler handler) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

bool handler_is(Handler handler) {
  struct sigaction current {};
  sigaction(SIGINT, nullptr, &current);
  return (current.sa_flags & SA_SIGINFO) == 0 && current.sa_handler == handler;
}

// Every check asks the system (interval 0); SIGINT's action is restored
// after each case.
class SigintWatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sigaction(SIGINT, nullptr, &original_);
    clear_interrupt_request();
    g_first_calls = 0;
    g_second_calls = 0;
  }
  void TearDown() override {
    sigaction(SIGINT, &original_, nullptr);
    (void)watch_sigint(milliseconds(0));  // forget the watch's state
    clear_interrupt_request();
  }

 private:
  struct sigaction original_ {};
};

TEST_F(SigintWatchTest, RequestsAnInterruptAndChainsToThePreviousHandler) {
  install(&first_handler);
  ASSERT_TRUE(watch_sigint(milliseconds(0)));
  EXPECT_FALSE(handler_is(&first_handler));
  raise(SIGINT);
  EXPECT_TRUE(interrupt_requested());
  EXPECT_EQ(g_first_calls.load(), 1);
  // Watching again changes nothing: still one request per signal, one call
  // of the previous handler.
  ASSERT_TRUE(watch_sigint(milliseconds(0)));
  clear_interrupt_request();
  raise(SIGINT);
  EXPECT_TRUE(interrupt_requested());
  EXPECT_EQ(g_first_calls.load(), 2);
}

TEST_F(SigintWatchTest, LeavesIgnoredAndDefaultSigintAlone) {
  for (Handler handler : {SIG_IGN, SIG_DFL}) {
    install(handler);
    EXPECT_FALSE(watch_sigint(milliseconds(0)));
    EXPECT_TRUE(handler_is(handler));
  }
}

TEST_F(SigintWatchTest, AHandlerInstalledOverTheWatchIsWatchedAtTheNextCheck) {
  install(&first_handler);
  ASSERT_TRUE(watch_sigint(milliseconds(0)));
  install(&second_handler);
  // Within the interval nothing is asked: the last answer stands.
  EXPECT_TRUE(watch_sigint(std::chrono::hours(1)));
  EXPECT_TRUE(handler_is(&second_handler));
  ASSERT_TRUE(watch_sigint(milliseconds(0)));
  raise(SIGINT);
  EXPECT_TRUE(interrupt_requested());
  EXPECT_EQ(g_second_calls.load(), 1);
  EXPECT_EQ(g_first_calls.load(), 0);
}

TEST(InterruptRequestTest, OnlyThreadsWorkingForAnInterruptibleCallStop) {
  request_interrupt();
  EXPECT_NO_THROW(throw_if_interrupted());
  {
    const InterruptibleScope interruptible(true);
    EXPECT_THROW(throw_if_interrupted(), Interrupted);
    {
      const InterruptibleScope other_call(false);
      EXPECT_NO_THROW(throw_if_interrupted());
    }
    EXPECT_THROW(throw_if_interrupted(), Interrupted);
    clear_interrupt_request();
    EXPECT_NO_THROW(throw_if_interrupted());
  }
  EXPECT_FALSE(working_for_interruptible_call());
}

}  // namespace
}  // namespace platform
