// Submission: target choice, admission through rings and the handoff slot,
// the full-ring error naming its worker, shutdown, and the idle bitmap that
// steers wake-ups.

#include <gtest/gtest.h>

#include <thread>

#include "drovek/scheduler/idle_bitmap.h"
#include "drovek/scheduler/quiescence.h"
#include "drovek/scheduler/submit.h"
#include "drovek/scheduler/thread_state.h"
#include "support/test_jobs.h"

namespace drovek {
namespace {

using testing_support::Gate;
using testing_support::gate_job;
using testing_support::JobLedger;
using testing_support::ledger_job;
using testing_support::make_executor;
using testing_support::small_config;

std::shared_ptr<SchedulerCore> idle_core(std::size_t workers) {
  std::vector<std::unique_ptr<WorkerRecord>> records;
  for (std::size_t i = 0; i < workers; ++i) records.push_back(std::make_unique<WorkerRecord>(8, 16));
  return std::make_shared<SchedulerCore>(std::move(records), std::vector<std::optional<std::uint64_t>>(workers),
                                         "test");
}

TEST(SubmitTargetTest, AQuietSchedulerTargetsWorkerOneAndABusyOneRoundRobins) {
  auto core = idle_core(4);
  ThreadState& state = this_thread_state();
  state.round_robin = 0;
  EXPECT_EQ(choose_target(*core), 1u);
  core->running.value.store(1);
  EXPECT_EQ(choose_target(*core), 1u);  // fewer than two running is still quiet
  EXPECT_EQ(state.round_robin, 0u);
  core->running.value.store(2);
  EXPECT_EQ(choose_target(*core), 1u);
  EXPECT_EQ(choose_target(*core), 2u);
  core->running.value.store(0);
  core->queued.value.store(1);
  EXPECT_EQ(choose_target(*core), 3u);
  EXPECT_EQ(choose_target(*core), 0u);
  core->queued.value.store(0);

  auto alone = idle_core(1);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(choose_target(*alone), 0u);
  alone->queued.value.store(5);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(choose_target(*alone), 0u);
  alone->queued.value.store(0);
}

TEST(IdleBitmapTest, ClaimsTheLowestIdleWorkerOnceAndIgnoresBitsBeyondTheWorkers) {
  IdleBitmap bitmap(100);
  for (std::size_t w : {70u, 3u, 64u, 99u}) bitmap.set(w);
  EXPECT_EQ(bitmap.claim_lowest(), 3u);
  EXPECT_EQ(bitmap.claim_lowest(), 64u);
  bitmap.clear(70);
  EXPECT_EQ(bitmap.claim_lowest(), 99u);
  EXPECT_EQ(bitmap.claim_lowest(), std::nullopt);

  IdleBitmap narrow(3);
  narrow.set(2);
  EXPECT_EQ(narrow.claim_lowest(), 2u);
  EXPECT_FALSE(narrow.is_set(2));
}

TEST(SubmitTest, AFullRingRefusesTheNinthJobAndNamesItsWorker) {
  Executor executor = make_executor(small_config(1, 8));
  SchedulerCore& core = executor.scheduler();
  Gate gate;
  ASSERT_TRUE(submit(core, gate_job(gate)));
  gate.wait_entered();

  JobLedger ledger(9);
  for (std::size_t id = 0; id < 8; ++id) ASSERT_TRUE(submit(core, ledger_job(ledger, id))) << id;
  auto refused = submit(core, ledger_job(ledger, 8));
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error(), ExecutorError::ResourceExhausted{"worker 0 scheduler admission queue is full"});
  EXPECT_EQ(ledger.releases[8].load(), 1u);
  EXPECT_EQ(core.queued.value.load(), 8u);

  gate.release();
  wait_until_quiescent(core);
  for (std::size_t id = 0; id < 8; ++id) EXPECT_EQ(ledger.runs[id].load(), 1u) << id;
  EXPECT_EQ(ledger.runs[8].load(), 0u);
  EXPECT_EQ(core.completed.value.load(), 9u);
}

TEST(SubmitTest, TheAdmissionErrorNamesTheWorkerWhoseRingIsFull) {
  Executor executor = make_executor(small_config(2, 16));
  SchedulerCore& core = executor.scheduler();
  Gate first, second;
  ASSERT_TRUE(submit(core, gate_job(first)));
  first.wait_entered();
  ASSERT_TRUE(submit(core, gate_job(second)));  // stolen by the other worker
  second.wait_entered();
  ASSERT_EQ(core.running.value.load(), 2u);

  JobLedger ledger(18);
  std::vector<std::expected<void, ExecutorError>> results;
  // A fresh thread: its round robin starts at 0, so targets go 1, 0, 1, 0 ...
  std::thread submitter([&] {
    for (std::size_t id = 0; id < 18; ++id) results.push_back(submit(core, ledger_job(ledger, id)));
  });
  submitter.join();
  for (std::size_t id = 0; id < 16; ++id) EXPECT_TRUE(results[id]) << id;
  EXPECT_EQ(results[16].error(), ExecutorError::ResourceExhausted{"worker 1 scheduler admission queue is full"});
  EXPECT_EQ(results[17].error(), ExecutorError::ResourceExhausted{"worker 0 scheduler admission queue is full"});

  first.release();
  second.release();
  wait_until_quiescent(core);
  for (std::size_t id = 0; id < 16; ++id) EXPECT_EQ(ledger.runs[id].load(), 1u) << id;
}

TEST(SubmitTest, AWorkerSubmittingToItselfUsesItsHandoffSlotThenItsRing) {
  Executor executor = make_executor(small_config(1, 8));
  SchedulerCore& core = executor.scheduler();
  JobLedger ledger(3);
  struct Context {
    SchedulerCore* core;
    JobLedger* ledger;
    bool slot_was_full_after_first = false;
    std::uint64_t ring_pending_after_second = 0;
  } context{&core, &ledger};
  Job parent = make_job(
      &context,
      [](Job& job, std::size_t) {
        Context& c = *job_payload<Context*>(job);
        (void)submit(*c.core, ledger_job(*c.ledger, 0));
        c.slot_was_full_after_first = c.core->worker(0).handoff.full();
        (void)submit(*c.core, ledger_job(*c.ledger, 1));
        c.ring_pending_after_second = c.core->worker(0).queues.pending().load();
        return true;
      },
      [](Job&) noexcept {});
  ASSERT_TRUE(submit(core, parent));
  wait_until_quiescent(core);
  EXPECT_TRUE(context.slot_was_full_after_first);
  EXPECT_EQ(context.ring_pending_after_second, 1u);
  EXPECT_EQ(ledger.runs[0].load(), 1u);
  EXPECT_EQ(ledger.runs[1].load(), 1u);
}

TEST(SubmitTest, SubmissionsAfterShutdownAreRefusedAndReleased) {
  Executor executor = make_executor(2);
  SchedulerCore& core = executor.scheduler();
  shutdown(core);
  JobLedger ledger(1);
  EXPECT_EQ(submit(core, ledger_job(ledger, 0)).error(), ExecutorError::ShuttingDown{});
  EXPECT_EQ(ledger.releases[0].load(), 1u);
  EXPECT_EQ(core.queued.value.load(), 0u);
}

TEST(SubmitTest, AJobWithoutReleaseOperationIsAnInvariantFailure) {
  Executor executor = make_executor(1);
  try {
    (void)submit(executor.scheduler(), Job{});
    ADD_FAILURE();
  } catch (const platform::InvariantFailure& failure) {
    EXPECT_EQ(failure.message(), "invariant: job is present before admission");
  }
  EXPECT_EQ(executor.scheduler().queued.value.load(), 0u);
}

}  // namespace
}  // namespace drovek
