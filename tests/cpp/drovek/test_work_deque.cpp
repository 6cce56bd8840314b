// The work-stealing deque: owner order, thief order, growth at the full
// mark, shrinking when idle, and exactly-once delivery while an owner and
// thieves race through repeated grows and shrinks.

#include <gtest/gtest.h>

#include <random>
#include <thread>
#include <vector>

#include "drovek/scheduler/deque_storage.h"
#include "drovek/scheduler/work_deque.h"
#include "support/test_jobs.h"

namespace drovek {
namespace {

using testing_support::JobLedger;
using testing_support::ledger_id;
using testing_support::ledger_job;

std::optional<Job> steal_one(WorkDeque& deque) {
  WorkDeque::ThiefSession session(deque);
  Job job;
  for (;;) {
    switch (session.attempt(job)) {
      case StealOutcome::Success: return job;
      case StealOutcome::Empty: return std::nullopt;
      case StealOutcome::Retry: break;
    }
  }
}

TEST(DequeStorageTest, StampsMakeEverySlotReadyForItsNextPosition) {
  // Start position 21 in a 16-slot storage: slots 5..15 serve 21..31 and
  // slots 0..4 serve 32..36.
  DequeStorage storage(16, 21);
  for (std::uint64_t p = 21; p < 37; ++p) EXPECT_EQ(storage.stamp(p).load(), p) << p;
  EXPECT_THROW(DequeStorage(24, 0), platform::InvariantFailure);
  try {
    DequeStorage too_large(kDequeCapacityLimit, 0);
    ADD_FAILURE();
  } catch (const platform::InvariantFailure& failure) {
    EXPECT_EQ(failure.message(), "invariant: deque capacity has a valid allocation layout");
  }
}

TEST(WorkDequeTest, OwnerPopsNewestFirstAndThievesTakeOldestFirst) {
  JobLedger ledger(40);
  WorkDeque deque(16);
  for (std::size_t id = 0; id < 40; ++id) deque.push(ledger_job(ledger, id));
  std::size_t newest = 40, oldest = 0;
  // Alternate so that both ends meet in the near-empty zone.
  for (int k = 0; k < 40; ++k) {
    std::optional<Job> job = (k % 2 == 0) ? deque.pop() : steal_one(deque);
    ASSERT_TRUE(job);
    EXPECT_EQ(ledger_id(*job), k % 2 == 0 ? --newest : oldest++);
    job->run(*job, 0);
  }
  EXPECT_FALSE(deque.pop());
  EXPECT_FALSE(steal_one(deque));
  EXPECT_TRUE(ledger.each_ran_once());
}

TEST(WorkDequeTest, GrowsAtThe128thPushAndShrinksBackWhenFewerThan127Remain) {
  JobLedger ledger(128);
  WorkDeque deque(128);
  for (std::size_t id = 0; id < 127; ++id) deque.push(ledger_job(ledger, id));
  EXPECT_EQ(deque.capacity(), 128u);
  EXPECT_EQ(deque.retired_count(), 0u);
  deque.push(ledger_job(ledger, 127));
  EXPECT_EQ(deque.capacity(), 256u);
  EXPECT_EQ(deque.retired_count(), 1u);

  // One steal leaves 127: not yet below initial - 1.
  std::optional<Job> stolen = steal_one(deque);
  ASSERT_TRUE(stolen);
  stolen->run(*stolen, 0);
  deque.shrink();
  EXPECT_EQ(deque.capacity(), 256u);
  EXPECT_EQ(deque.retired_count(), 1u);

  std::optional<Job> popped = deque.pop();
  popped->run(*popped, 0);
  deque.shrink();
  EXPECT_EQ(deque.capacity(), 128u);
  EXPECT_EQ(deque.retired_count(), 0u);

  // The 126 survivors (ids 1..126) kept their order through both copies.
  for (std::size_t id = 126; id >= 1; --id) {
    std::optional<Job> job = deque.pop();
    ASSERT_TRUE(job);
    ASSERT_EQ(ledger_id(*job), id);
    job->run(*job, 0);
  }
  EXPECT_TRUE(ledger.each_ran_once());
}

TEST(WorkDequeTest, ReleasesJobsStillHeldWhenDestroyed) {
  JobLedger ledger(50);
  {
    WorkDeque deque(16);
    for (std::size_t id = 0; id < 50; ++id) deque.push(ledger_job(ledger, id));
    for (int k = 0; k < 5; ++k) {
      auto job = steal_one(deque);
      job->run(*job, 0);
    }
  }
  for (std::size_t id = 0; id < 50; ++id) {
    EXPECT_EQ(ledger.runs[id].load(), id < 5 ? 1u : 0u) << id;
    EXPECT_EQ(ledger.releases[id].load(), id < 5 ? 0u : 1u) << id;
  }
}

// Jobs in total; ThreadSanitizer runs them about ten times slower.
#if defined(__SANITIZE_THREAD__)
constexpr std::size_t kStressJobs = 1'000'000;
#else
constexpr std::size_t kStressJobs = 2'000'000;
#endif

TEST(WorkDequeStressTest, OwnerAndThievesTakeEveryJobOnceThroughRepeatedGrowAndShrink) {
  constexpr int kThieves = 3;
  JobLedger ledger(kStressJobs);
  WorkDeque deque(16);
  std::atomic<bool> owner_done{false};
  std::atomic<std::size_t> shrinks{0};
  std::vector<std::thread> thieves;
  for (int t = 0; t < kThieves; ++t) {
    thieves.emplace_back([&] {
      for (;;) {
        const bool last_look = owner_done.load();
        std::optional<Job> job = steal_one(deque);
        if (job) {
          job->run(*job, 0);
        } else if (last_look) {
          return;
        } else {
          std::this_thread::yield();
        }
      }
    });
  }
  std::mt19937_64 random(42);
  std::size_t next = 0;
  while (next < kStressJobs) {
    // Bursts up to 600 force growth past 512; draining to near empty then
    // shrinking forces the way back.
    const std::size_t burst = std::min<std::size_t>(1 + random() % 600, kStressJobs - next);
    for (std::size_t k = 0; k < burst; ++k) deque.push(ledger_job(ledger, next++));
    const std::size_t pops = random() % (burst + 1);
    for (std::size_t k = 0; k < pops; ++k) {
      if (std::optional<Job> job = deque.pop()) job->run(*job, 0);
    }
    if (random() % 4 == 0) {
      while (std::optional<Job> job = deque.pop()) job->run(*job, 0);
      const std::uint64_t before = deque.capacity();
      deque.shrink();
      if (deque.capacity() < before) shrinks.fetch_add(1);
    }
  }
  while (std::optional<Job> job = deque.pop()) job->run(*job, 0);
  owner_done.store(true);
  for (auto& t : thieves) t.join();
  EXPECT_TRUE(ledger.each_ran_once());
  EXPECT_GT(shrinks.load(), 10u);
}

}  // namespace
}  // namespace drovek
