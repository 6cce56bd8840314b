#include "drovek/scheduler/steal.h"

#include <array>
#include <string>

#include "drovek/scheduler/tuning.h"
#include "platform/invariant_failure.h"

namespace drovek {
namespace {

using Batch = std::array<Job, kStealBatch>;

WorkDeque& deque_of_class(WorkerQueues& queues, std::uint8_t priority_class) {
  if (priority_class >= kPriorityClasses) {
    platform::fail_invariant("index out of bounds: the len is 4 but the index is " + std::to_string(priority_class));
  }
  return queues.deques[priority_class];
}

std::optional<Job> pop_deques(WorkerQueues& own) noexcept {
  for (std::size_t c = kPriorityClasses; c-- > 0;) {
    if (std::optional<Job> job = own.deques[c].pop()) return job;
  }
  return std::nullopt;
}

// Up to kStealBatch jobs from one deque into `batch`; returns how many (0:
// the deque was empty). The caller pushes the extras only after the session
// has ended: pushing may grow the thief's own deque, which waits for its
// thieves to leave, and one of them may be the victim waiting on us.
std::uint32_t steal_batch_from(WorkDeque& source, Batch& batch) {
  WorkDeque::ThiefSession session(source);
  std::uint32_t retries = 0;
  for (;;) {
    const StealOutcome outcome = session.attempt(batch[0]);
    if (outcome == StealOutcome::Empty) return 0;
    if (outcome == StealOutcome::Success) break;
    if (++retries == kStealRetriesBeforeYield) {
      retries = 0;
      // Leaving while we yield lets a waiting resize of the victim proceed.
      session.pause_for_resize();
    }
  }
  std::uint32_t taken = 1;
  // Stay inside for the rest of the batch, stopping at the first miss.
  while (taken < kStealBatch && session.attempt(batch[taken]) == StealOutcome::Success) ++taken;
  return taken;
}

// Moves the stolen jobs' count from victim to thief. The extras are counted
// on the thief before they become stealable from its deque.
void account_batch(WorkerQueues& thief, WorkerQueues& victim, std::uint32_t taken) {
  if (taken > 1) thief.pending().fetch_add(taken - 1, std::memory_order_seq_cst);
  victim.pending().fetch_sub(taken, std::memory_order_seq_cst);
}

}  // namespace

std::optional<Job> pop_local(WorkerQueues& own) {
  if (own.pending().load(std::memory_order_seq_cst) == 0) return std::nullopt;
  std::optional<Job> job = pop_deques(own);
  if (!job) {
    while (std::optional<RingEntry> entry = own.ring.try_pop()) {
      deque_of_class(own, entry->priority_class).push(entry->job);
    }
    job = pop_deques(own);
  }
  if (job) own.pending().fetch_sub(1, std::memory_order_seq_cst);
  return job;
}

std::optional<Job> steal(WorkerQueues& thief, WorkerQueues& victim) {
  if (victim.pending().load(std::memory_order_seq_cst) == 0) return std::nullopt;
  Batch batch;
  for (std::size_t c = kPriorityClasses; c-- > 0;) {
    const std::uint32_t taken = steal_batch_from(victim.deques[c], batch);
    if (taken == 0) continue;
    account_batch(thief, victim, taken);
    for (std::uint32_t i = 1; i < taken; ++i) thief.deques[c].push(batch[i]);
    return batch[0];
  }
  std::optional<RingEntry> head = victim.ring.try_pop();
  if (!head) return std::nullopt;
  std::array<RingEntry, kStealBatch - 1> extras;
  std::uint32_t taken = 1;
  while (taken < kStealBatch) {
    std::optional<RingEntry> entry = victim.ring.try_pop();
    if (!entry) break;
    extras[taken - 1] = *entry;
    ++taken;
  }
  account_batch(thief, victim, taken);
  for (std::uint32_t i = 0; i + 1 < taken; ++i) deque_of_class(thief, extras[i].priority_class).push(extras[i].job);
  return head->job;
}

}  // namespace drovek
