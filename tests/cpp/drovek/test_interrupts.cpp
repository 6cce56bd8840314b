// Interrupting parallel calls: the tasks of a call work for an interruptible
// call exactly when its caller does, whichever thread runs them. An
// interrupted call stops at its pieces' next poll, every task finishes
// before the caller sees platform::Interrupted, and calls of other callers
// run to the end meanwhile.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "drovek/parallel/parallel_call.h"
#include "platform/interrupt.h"
#include "support/test_jobs.h"

namespace drovek {
namespace {

using testing_support::CountingSource;
using testing_support::make_executor;

// A piece that polls, as long loops do between their steps.
struct PollingPieces {
  std::atomic<std::size_t> started{0};
  std::atomic<std::size_t> ran{0};
  std::atomic<std::size_t> running{0};
  std::atomic<std::size_t> seen_interruptible{0};
  std::size_t request_at = SIZE_MAX;  // the piece that requests the interrupt

  void piece(std::size_t i) {
    started.fetch_add(1);
    running.fetch_add(1);
    if (platform::working_for_interruptible_call()) seen_interruptible.fetch_add(1);
    if (i == request_at) platform::request_interrupt();
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    running.fetch_sub(1);
    platform::throw_if_interrupted();
    ran.fetch_add(1);
  }
};

void run_pieces(ExecutorSource source, std::size_t n, PollingPieces& pieces) {
  for_each_index_on(source, n, &pieces, [](void* c, std::size_t i) { static_cast<PollingPieces*>(c)->piece(i); });
}

TEST(InterruptTest, AnInterruptedCallStopsEveryTaskAndReportsOnceAllHaveFinished) {
  Executor executor = make_executor(3);
  CountingSource source{&executor};
  constexpr std::size_t kPieces = 4000;
  for (int round = 0; round < 10; ++round) {
    platform::clear_interrupt_request();
    PollingPieces pieces;
    pieces.request_at = 100;
    bool interrupted = false;
    {
      const platform::InterruptibleScope interruptible(true);
      try {
        run_pieces(source.source(), kPieces, pieces);
      } catch (const platform::Interrupted&) {
        interrupted = true;
      }
    }
    EXPECT_TRUE(interrupted) << round;
    EXPECT_EQ(pieces.running.load(), 0u) << "a task was still running when the call returned";
    EXPECT_LT(pieces.ran.load(), kPieces / 2) << round;
    EXPECT_EQ(pieces.seen_interruptible.load(), pieces.started.load()) << "a task ran as not interruptible";
    EXPECT_FALSE(platform::working_for_interruptible_call());
  }
  platform::clear_interrupt_request();
}

TEST(InterruptTest, CallsOfOtherCallersIgnoreTheRequest) {
  Executor executor = make_executor(3);
  CountingSource source{&executor};
  constexpr std::size_t kPieces = 3000;
  platform::clear_interrupt_request();
  PollingPieces other;
  std::thread other_caller([&] { run_pieces(source.source(), kPieces, other); });  // not interruptible
  PollingPieces interrupted_pieces;
  interrupted_pieces.request_at = 10;
  bool interrupted = false;
  {
    const platform::InterruptibleScope interruptible(true);
    try {
      run_pieces(source.source(), kPieces, interrupted_pieces);
    } catch (const platform::Interrupted&) {
      interrupted = true;
    }
  }
  other_caller.join();
  EXPECT_TRUE(interrupted);
  EXPECT_EQ(other.ran.load(), kPieces) << "the other caller's call was cut short";
  EXPECT_EQ(other.seen_interruptible.load(), 0u) << "a task of the other call ran as interruptible";

  // The request is still set, and the workers that ran interrupted tasks
  // are back to working for no interruptible call.
  ASSERT_TRUE(platform::interrupt_requested());
  PollingPieces after;
  run_pieces(source.source(), kPieces, after);
  EXPECT_EQ(after.ran.load(), kPieces);
  EXPECT_EQ(after.seen_interruptible.load(), 0u);
  platform::clear_interrupt_request();
}

TEST(InterruptTest, NothingStopsWithoutARequest) {
  Executor executor = make_executor(2);
  CountingSource source{&executor};
  platform::clear_interrupt_request();
  PollingPieces pieces;
  const platform::InterruptibleScope interruptible(true);
  run_pieces(source.source(), 500, pieces);
  EXPECT_EQ(pieces.ran.load(), 500u);
  EXPECT_EQ(pieces.seen_interruptible.load(), 500u);
}

}  // namespace
}  // namespace drovek
