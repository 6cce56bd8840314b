// Batched stealing between worker queues and the owner's local pop, with
// the pending counters that steer them.

#include <gtest/gtest.h>

#include "drovek/scheduler/steal.h"
#include "support/test_jobs.h"

namespace drovek {
namespace {

using testing_support::JobLedger;
using testing_support::ledger_id;
using testing_support::ledger_job;

void fill_deque(WorkerQueues& queues, std::size_t priority_class, JobLedger& ledger, std::size_t first,
                std::size_t count) {
  for (std::size_t id = first; id < first + count; ++id) queues.deques[priority_class].push(ledger_job(ledger, id));
  queues.pending().fetch_add(count);
}

TEST(StealTest, OneStealMovesABatchOf16FromTheVictimsDeque) {
  JobLedger ledger(40);
  WorkerQueues victim(8, 128), thief(8, 128);
  fill_deque(victim, 1, ledger, 0, 40);

  std::optional<Job> first = steal(thief, victim);
  ASSERT_TRUE(first);
  EXPECT_EQ(ledger_id(*first), 0u);  // oldest first
  EXPECT_EQ(thief.deques[1].size_hint(), 15);
  EXPECT_EQ(victim.deques[1].size_hint(), 24);
  EXPECT_EQ(thief.pending().load(), 15u);
  EXPECT_EQ(victim.pending().load(), 24u);

  // The batch landed in the thief's own class-1 deque, in order.
  for (std::size_t id = 15; id >= 1; --id) {
    std::optional<Job> job = pop_local(thief);
    ASSERT_TRUE(job);
    EXPECT_EQ(ledger_id(*job), id);
  }
  EXPECT_EQ(thief.pending().load(), 0u);
}

TEST(StealTest, HigherClassesAreStolenFirstAndShortDequesGiveWhatTheyHave) {
  JobLedger ledger(10);
  WorkerQueues victim(8, 128), thief(8, 128);
  fill_deque(victim, 0, ledger, 0, 5);
  fill_deque(victim, 3, ledger, 5, 5);
  std::optional<Job> job = steal(thief, victim);
  ASSERT_TRUE(job);
  EXPECT_EQ(ledger_id(*job), 5u);
  EXPECT_EQ(thief.deques[3].size_hint(), 4);
  EXPECT_EQ(victim.deques[0].size_hint(), 5);
  EXPECT_EQ(victim.pending().load(), 5u);
  EXPECT_EQ(thief.pending().load(), 4u);
}

TEST(StealTest, FallsBackToTheVictimsRingAndSortsItsEntriesByClass) {
  JobLedger ledger(20);
  WorkerQueues victim(32, 128), thief(8, 128);
  for (std::size_t id = 0; id < 20; ++id) {
    ASSERT_TRUE(victim.ring.try_push(static_cast<std::uint8_t>(id % 2 == 0 ? 1 : 2), ledger_job(ledger, id)));
  }
  std::optional<Job> job = steal(thief, victim);
  ASSERT_TRUE(job);
  EXPECT_EQ(ledger_id(*job), 0u);
  EXPECT_EQ(thief.deques[1].size_hint() + thief.deques[2].size_hint(), 15);
  EXPECT_EQ(thief.deques[2].size_hint(), 8);  // ids 1, 3, ..., 15
  EXPECT_EQ(victim.pending().load(), 4u);
  EXPECT_EQ(thief.pending().load(), 15u);
}

TEST(StealTest, NothingIsTakenFromAVictimWithoutPendingWork) {
  JobLedger ledger(3);
  WorkerQueues victim(8, 128), thief(8, 128);
  for (std::size_t id = 0; id < 3; ++id) victim.deques[1].push(ledger_job(ledger, id));
  // Jobs are there but not announced through pending: the hint decides.
  EXPECT_FALSE(steal(thief, victim));
  EXPECT_FALSE(pop_local(victim));
  victim.pending().store(3);
  EXPECT_TRUE(steal(thief, victim));
}

TEST(PopLocalTest, PopsHighClassesFirstThenMovesTheRingIntoTheDeques) {
  JobLedger ledger(6);
  WorkerQueues own(8, 128);
  fill_deque(own, 0, ledger, 0, 1);
  fill_deque(own, 2, ledger, 1, 1);
  ASSERT_TRUE(own.ring.try_push(3, ledger_job(ledger, 2)));
  ASSERT_TRUE(own.ring.try_push(1, ledger_job(ledger, 3)));
  EXPECT_EQ(own.pending().load(), 4u);

  std::vector<std::size_t> order;
  while (std::optional<Job> job = pop_local(own)) order.push_back(ledger_id(*job));
  // Deques first (class 2, then 0), then the ring's entries by class (3, 1).
  EXPECT_EQ(order, (std::vector<std::size_t>{1, 0, 2, 3}));
  EXPECT_EQ(own.pending().load(), 0u);
}

}  // namespace
}  // namespace drovek
