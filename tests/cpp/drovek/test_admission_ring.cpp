// The bounded admission ring: capacity, order across laps, release of
// leftovers, and exactly-once delivery under concurrent producers and
// consumers.

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "drovek/scheduler/admission_ring.h"
#include "support/test_jobs.h"

namespace drovek {
namespace {

using testing_support::JobLedger;
using testing_support::ledger_id;
using testing_support::ledger_job;

TEST(AdmissionRingTest, AcceptsItsCapacityAndRefusesTheNext) {
  JobLedger ledger(9);
  AdmissionRing ring(8);
  for (std::size_t id = 0; id < 8; ++id) EXPECT_TRUE(ring.try_push(1, ledger_job(ledger, id)));
  EXPECT_FALSE(ring.try_push(1, ledger_job(ledger, 8)));
  EXPECT_EQ(ring.pending().load(), 8u);
  // One freed slot admits one more.
  auto first = ring.try_pop();
  ASSERT_TRUE(first);
  EXPECT_EQ(ledger_id(first->job), 0u);
  EXPECT_TRUE(ring.try_push(1, ledger_job(ledger, 8)));
  EXPECT_FALSE(ring.try_push(1, ledger_job(ledger, 8)));
}

TEST(AdmissionRingTest, KeepsFifoOrderAndClassesOverManyLaps) {
  JobLedger ledger(1000);
  AdmissionRing ring(4);
  std::size_t next_in = 0, next_out = 0;
  while (next_out < ledger.runs.size()) {
    // Alternate bursts of 1-4 pushes and pops so positions wrap many times.
    for (std::size_t k = 0; k < 1 + next_in % 4 && next_in < ledger.runs.size(); ++k, ++next_in) {
      if (!ring.try_push(static_cast<std::uint8_t>(next_in % 4), ledger_job(ledger, next_in))) break;
    }
    while (auto entry = ring.try_pop()) {
      ASSERT_EQ(ledger_id(entry->job), next_out);
      ASSERT_EQ(entry->priority_class, next_out % 4);
      entry->job.run(entry->job, 0);
      ++next_out;
    }
  }
  EXPECT_FALSE(ring.try_pop());
  EXPECT_TRUE(ledger.each_ran_once());
}

TEST(AdmissionRingTest, ReleasesJobsStillHeldWhenDestroyed) {
  JobLedger ledger(6);
  {
    AdmissionRing ring(8);
    for (std::size_t id = 0; id < 6; ++id) ASSERT_TRUE(ring.try_push(0, ledger_job(ledger, id)));
    for (int k = 0; k < 2; ++k) {
      auto entry = ring.try_pop();
      entry->job.run(entry->job, 0);
    }
  }
  for (std::size_t id = 0; id < 6; ++id) {
    EXPECT_EQ(ledger.runs[id].load() + ledger.releases[id].load(), 1u) << id;
    EXPECT_EQ(ledger.releases[id].load(), id >= 2 ? 1u : 0u) << id;
  }
}

TEST(AdmissionRingTest, ConcurrentProducersAndConsumersDeliverEachJobOnce) {
  constexpr std::size_t kProducers = 3, kConsumers = 3, kPerProducer = 40000;
  JobLedger ledger(kProducers * kPerProducer);
  AdmissionRing ring(16);
  std::atomic<std::size_t> consumed{0};
  std::vector<std::thread> threads;
  for (std::size_t p = 0; p < kProducers; ++p) {
    threads.emplace_back([&, p] {
      for (std::size_t k = 0; k < kPerProducer; ++k) {
        const Job job = ledger_job(ledger, p * kPerProducer + k);
        while (!ring.try_push(2, job)) std::this_thread::yield();
      }
    });
  }
  for (std::size_t c = 0; c < kConsumers; ++c) {
    threads.emplace_back([&] {
      while (consumed.load() < ledger.runs.size()) {
        if (auto entry = ring.try_pop()) {
          entry->job.run(entry->job, 0);
          consumed.fetch_add(1);
        } else {
          std::this_thread::yield();
        }
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_TRUE(ledger.each_ran_once());
  EXPECT_EQ(ring.pending().load(), ledger.runs.size());  // consumers here do not lower it
}

}  // namespace
}  // namespace drovek
