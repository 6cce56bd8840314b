// The parallel-for drivers: grains and splits, which thread runs what,
// nesting, failures, the admission fallback, and exactly-once coverage.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <numeric>
#include <set>
#include <thread>
#include <vector>

#include "drovek/parallel/parallel_call.h"
#include "drovek/parallel/task_range.h"
#include "drovek/scheduler/quiescence.h"
#include "drovek/scheduler/submit.h"
#include "drovek/scheduler/thread_state.h"
#include "drovek/scheduler/wait_helping.h"
#include "support/test_jobs.h"

namespace drovek {
namespace {

using testing_support::CountingSource;
using testing_support::Gate;
using testing_support::gate_job;
using testing_support::make_executor;
using testing_support::small_config;

// Adapters from callables to the entry points over an explicit source.
template <class F>
void index_on(ExecutorSource source, std::size_t n, F& f) {
  for_each_index_on(source, n, &f, [](void* c, std::size_t i) { (*static_cast<F*>(c))(i); });
}
template <class F>
void unit_range_on(ExecutorSource source, std::size_t n, std::size_t cost, F& f) {
  for_each_unit_task_range_on(source, n, cost, &f,
                              [](void* c, std::size_t s, std::size_t l) { (*static_cast<F*>(c))(s, l); });
}
template <class F>
void mut_on(ExecutorSource source, float* buffer, std::size_t n, F& f) {
  for_each_unit_task_mut_on(source, buffer, n, &f, [](void* c, std::size_t first, void* sub, std::size_t l) {
    (*static_cast<F*>(c))(first, static_cast<float*>(sub), l);
  });
}

// Which thread ran each piece.
struct PieceLog {
  explicit PieceLog(std::size_t n) : runs(n), runner(n) {}
  std::vector<std::atomic<int>> runs;
  std::vector<std::thread::id> runner;
  void record(std::size_t i) {
    runs[i].fetch_add(1);
    runner[i] = std::this_thread::get_id();
  }
  bool each_once() const {
    return std::all_of(runs.begin(), runs.end(), [](const std::atomic<int>& r) { return r.load() == 1; });
  }
};

TEST(TaskRangeTest, SplitsIntoNearEqualPartsLargerFirst) {
  // U = 7 over 4 workers: T = 5 tasks of 2, 2, 1, 1, 1 units.
  std::vector<TaskRange> parts;
  for (std::size_t t = 0; t < 5; ++t) parts.push_back(task_range(7, 5, t));
  EXPECT_EQ(parts, (std::vector<TaskRange>{{0, 2}, {2, 4}, {4, 5}, {5, 6}, {6, 7}}));
  EXPECT_EQ(task_range(3, 5, 4), (TaskRange{3, 3}));
  EXPECT_EQ(task_range(10, 1, 0), (TaskRange{0, 10}));
  try {
    task_range(1, 0, 0);
    ADD_FAILURE();
  } catch (const platform::InvariantFailure& failure) {
    EXPECT_EQ(failure.message(), "attempt to divide by zero");
  }
}

TEST(UnitTaskGrainTest, GrainIs65536OverTheUnitCost) {
  EXPECT_EQ(unit_task_grain(0), 65536u);
  EXPECT_EQ(unit_task_grain(1), 65536u);
  EXPECT_EQ(unit_task_grain(12), 5461u);
  EXPECT_EQ(unit_task_grain(65536), 1u);
  EXPECT_EQ(unit_task_grain(65537), 1u);
  EXPECT_EQ(unit_task_grain(40000), 1u);
}

TEST(ParallelForTest, TheCallerRunsTheFirstTaskItself) {
  Executor executor = make_executor(4);
  CountingSource source{&executor};
  PieceLog log(7);
  // The caller's pieces wait until every worker task has started, so that
  // none is left for the caller to take back.
  std::atomic<int> started{0};
  auto record = [&](std::size_t i) {
    if (i >= 2) started.fetch_add(1);
    if (i == 0) {
      while (started.load() < 5) std::this_thread::yield();
    }
    log.record(i);
  };
  index_on(source.source(), 7, record);
  EXPECT_TRUE(log.each_once());
  const auto me = std::this_thread::get_id();
  for (std::size_t i = 0; i < 7; ++i) EXPECT_EQ(log.runner[i] == me, i < 2) << i;
}

// After an idle pause (every worker parked), a call of W + 1 tasks must get
// every worker running at once: each piece waits until all have started.
// A worker left parked, or woken and left without its job, fails it.
TEST(ParallelForTest, AfterAnIdlePauseEveryWorkerRunsATaskOfTheCall) {
  for (std::size_t workers : {std::size_t{1}, std::size_t{2}, std::size_t{3}}) {
    SCOPED_TRACE(::testing::Message() << workers << " workers");
    Executor executor = make_executor(workers);
    CountingSource source{&executor};
    SchedulerCore& core = executor.scheduler();
    for (int round = 0; round < 3; ++round) {
      for (std::size_t w = 0; w < workers; ++w) {
        while (!core.idle_bitmap.is_set(w)) std::this_thread::yield();
      }
      const std::size_t tasks = workers + 1;
      std::atomic<std::size_t> started{0};
      std::mutex mutex;
      std::set<std::thread::id> runners;
      auto piece = [&](std::size_t) {
        {
          std::lock_guard lock(mutex);
          runners.insert(std::this_thread::get_id());
        }
        started.fetch_add(1);
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (started.load() < tasks && std::chrono::steady_clock::now() < give_up) std::this_thread::yield();
      };
      index_on(source.source(), tasks, piece);
      EXPECT_EQ(started.load(), tasks);
      EXPECT_EQ(runners.size(), tasks);
    }
  }
}

TEST(ParallelForTest, TheCallerTakesBackTasksNoWorkerHasStarted) {
  // Both workers are held by gates, so the three submitted tasks stay
  // queued: the caller runs them after its own, and the call returns
  // without waiting for the workers.
  Executor executor = make_executor(2);
  CountingSource source{&executor};
  SchedulerCore& core = executor.scheduler();
  Gate gates[2];
  for (Gate& gate : gates) ASSERT_TRUE(submit(core, gate_job(gate)));
  for (Gate& gate : gates) gate.wait_entered();
  PieceLog log(6);
  auto record = [&](std::size_t i) { log.record(i); };
  index_on(source.source(), 6, record);
  EXPECT_TRUE(log.each_once());
  const auto me = std::this_thread::get_id();
  for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(log.runner[i], me) << i;
  EXPECT_EQ(core.queued.value.load(), 0u);
  for (Gate& gate : gates) gate.release();
}

TEST(ParallelForTest, UnitRangesFollowTheGrain) {
  Executor executor = make_executor(8);
  CountingSource source{&executor};
  std::mutex mutex;
  std::vector<std::tuple<std::size_t, std::size_t, bool>> calls;
  const auto me = std::this_thread::get_id();
  auto record = [&](std::size_t start, std::size_t length) {
    std::lock_guard lock(mutex);
    calls.emplace_back(start, length, std::this_thread::get_id() == me);
  };
  // N = 10000, c = 12: g = 5461, two units; the caller runs the first.
  // (The second unit runs on a worker, or on the caller when no worker had
  // started it by the time the caller was done with the first.)
  unit_range_on(source.source(), 10000, 12, record);
  std::sort(calls.begin(), calls.end());
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0], (std::tuple<std::size_t, std::size_t, bool>{0, 5461, true}));
  EXPECT_EQ(std::get<0>(calls[1]), 5461u);
  EXPECT_EQ(std::get<1>(calls[1]), 4539u);

  // c = 65537: one item per unit.
  calls.clear();
  unit_range_on(source.source(), 3, 65537, record);
  std::sort(calls.begin(), calls.end());
  ASSERT_EQ(calls.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(std::get<1>(calls[i]), 1u);
}

TEST(ParallelForTest, WorkOfOneUnitRunsDirectlyWithoutAskingForTheExecutor) {
  Executor executor = make_executor(2);
  CountingSource source{&executor};
  std::vector<float> buffer(5462);
  std::vector<std::tuple<std::size_t, float*, std::size_t>> calls;
  std::mutex mutex;
  auto record = [&](std::size_t first, float* sub, std::size_t length) {
    std::lock_guard lock(mutex);
    calls.emplace_back(first, sub, length);
  };
  mut_on(source.source(), buffer.data(), 5461, record);
  EXPECT_EQ(source.requests.load(), 0);
  EXPECT_EQ(calls, (std::vector<std::tuple<std::size_t, float*, std::size_t>>{{0, buffer.data(), 5461}}));

  auto nothing = [&](std::size_t, std::size_t) { ADD_FAILURE(); };
  unit_range_on(source.source(), 0, 12, nothing);
  std::vector<std::pair<std::size_t, std::size_t>> ranges;
  auto whole = [&](std::size_t start, std::size_t length) { ranges.emplace_back(start, length); };
  unit_range_on(source.source(), 65536, 1, whole);  // exactly one grain
  EXPECT_EQ(ranges, (std::vector<std::pair<std::size_t, std::size_t>>{{0, 65536}}));
  auto no_index = [&](std::size_t) { ADD_FAILURE(); };
  index_on(source.source(), 0, no_index);
  EXPECT_EQ(source.requests.load(), 0);

  // One element more: two units, and the executor is asked once.
  calls.clear();
  mut_on(source.source(), buffer.data(), 5462, record);
  EXPECT_EQ(source.requests.load(), 1);
  std::sort(calls.begin(), calls.end());
  EXPECT_EQ(calls, (std::vector<std::tuple<std::size_t, float*, std::size_t>>{{0, buffer.data(), 5461},
                                                                              {5461, buffer.data() + 5461, 1}}));
}

TEST(ParallelForTest, EveryPieceRunsExactlyOnceForAnySizeAndPoolSize) {
  for (std::uint64_t workers : {1u, 2u, 3u, 5u, 8u}) {
    Executor executor = make_executor(workers);
    CountingSource source{&executor};
    for (std::size_t n : {1u, 2u, 7u, 9u, 100u, 1001u}) {
      SCOPED_TRACE(::testing::Message() << workers << " workers, " << n << " indices");
      PieceLog log(n);
      auto record = [&](std::size_t i) { log.record(i); };
      index_on(source.source(), n, record);
      EXPECT_TRUE(log.each_once());
    }
    for (std::size_t n : {5462u, 5461u * 9 + 17}) {
      std::vector<float> buffer(n, 0.0f);
      auto add_one = [](std::size_t, float* sub, std::size_t length) {
        for (std::size_t k = 0; k < length; ++k) sub[k] += 1.0f;
      };
      mut_on(source.source(), buffer.data(), n, add_one);
      EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 1.0f), static_cast<std::ptrdiff_t>(n));
    }
    const std::size_t items = 1'000'003;
    std::vector<std::atomic<int>> seen((items + 4095) / 4096);
    std::atomic<std::size_t> covered{0};
    auto cover = [&](std::size_t start, std::size_t length) {
      covered.fetch_add(length);
      seen[start / 4096].fetch_add(1);
    };
    unit_range_on(source.source(), items, 16, cover);  // grain 4096
    EXPECT_EQ(covered.load(), items);
    EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](const std::atomic<int>& s) { return s.load() == 1; }));
  }
}

TEST(ParallelForTest, NestedCallsRunInlineInOrderOnTheirThread) {
  Executor executor = make_executor(3);
  CountingSource source{&executor};
  constexpr std::size_t kOuter = 4, kInner = 50;
  std::mutex mutex;
  std::vector<std::vector<std::size_t>> inner_order(kOuter);
  std::vector<bool> inner_on_same_thread(kOuter, true);
  auto outer = [&](std::size_t o) {
    const auto runner = std::this_thread::get_id();
    std::vector<std::size_t> order;
    bool same = true;
    auto inner = [&](std::size_t i) {
      order.push_back(i);
      same = same && std::this_thread::get_id() == runner;
    };
    index_on(source.source(), kInner, inner);
    std::lock_guard lock(mutex);
    inner_order[o] = order;
    inner_on_same_thread[o] = same;
  };
  index_on(source.source(), kOuter, outer);
  std::vector<std::size_t> ascending(kInner);
  std::iota(ascending.begin(), ascending.end(), 0);
  for (std::size_t o = 0; o < kOuter; ++o) {
    EXPECT_EQ(inner_order[o], ascending) << o;
    EXPECT_TRUE(inner_on_same_thread[o]) << o;
  }
  // Only the outer call was split.
  EXPECT_EQ(executor.scheduler().inline_fallbacks.value.load(), 0u);
}

TEST(ParallelForTest, ACallFromAWorkerRunsEveryPieceOnThatWorker) {
  Executor executor = make_executor(2);
  CountingSource source{&executor};
  struct Context {
    CountingSource* source;
    std::vector<std::size_t> order;
    bool all_on_worker = true;
  } context{&source, {}};
  Job job = make_job(
      &context,
      [](Job& job, std::size_t) {
        Context& c = *job_payload<Context*>(job);
        auto piece = [&](std::size_t i) {
          c.order.push_back(i);
          c.all_on_worker = c.all_on_worker && this_thread_state().is_worker();
        };
        index_on(c.source->source(), 20, piece);
        return true;
      },
      [](Job&) noexcept {});
  ASSERT_TRUE(submit(executor.scheduler(), job));
  wait_until_quiescent(executor.scheduler());
  std::vector<std::size_t> ascending(20);
  std::iota(ascending.begin(), ascending.end(), 0);
  EXPECT_EQ(context.order, ascending);
  EXPECT_TRUE(context.all_on_worker);
}

enum class Entry { UnitRange, Index, Mut };

std::string failure_message_of(Entry entry, ExecutorSource source, std::size_t failing_task_first_piece,
                               std::vector<std::atomic<int>>& ran, std::size_t pieces) {
  std::atomic<bool> thrown{false};
  auto piece = [&](std::size_t p) {
    if (p == failing_task_first_piece) {
      thrown.store(true);
      platform::fail_invariant("invariant: piece failed");
    }
    // The other tasks are still running when the failure happens.
    while (!thrown.load()) std::this_thread::yield();
    ran[p].fetch_add(1);
  };
  try {
    switch (entry) {
      case Entry::Index: {
        index_on(source, pieces, piece);
        break;
      }
      case Entry::UnitRange: {
        auto unit = [&](std::size_t start, std::size_t) { piece(start); };
        unit_range_on(source, pieces, 65537, unit);
        break;
      }
      case Entry::Mut: {
        std::vector<float> buffer(pieces * kMutUnitElements);
        auto unit = [&](std::size_t first, float*, std::size_t) { piece(first / kMutUnitElements); };
        mut_on(source, buffer.data(), buffer.size(), unit);
        break;
      }
    }
  } catch (const platform::InvariantFailure& failure) {
    return failure.message();
  }
  return "no failure";
}

TEST(ParallelForTest, AFailingPieceFailsTheCallOnlyAfterEveryOtherTaskFinished) {
  const std::vector<std::pair<Entry, std::string>> entries = {
      {Entry::UnitRange, "for_each_unit_task_range_with"},
      {Entry::Index, "for_each_index_with"},
      {Entry::Mut, "for_each_unit_task_mut_with"},
  };
  Executor executor = make_executor(3);
  CountingSource source{&executor};
  // 4 tasks of 3 pieces: [0,3) caller, [3,6) [6,9) [9,12) workers. The first
  // piece of a worker task fails, and then of the caller's own task.
  constexpr std::size_t kPieces = 12;
  for (const auto& [entry, name] : entries) {
    for (std::size_t failing : {std::size_t{6}, std::size_t{0}}) {
      SCOPED_TRACE(::testing::Message() << name << ", failing piece " << failing);
      std::vector<std::atomic<int>> ran(kPieces);
      EXPECT_EQ(failure_message_of(entry, source.source(), failing, ran, kPieces),
                "drovek global executor: " + name + ": SpawnFailed(Panicked)");
      for (std::size_t p = 0; p < kPieces; ++p) {
        const bool in_failing_task = p / 3 == failing / 3;
        EXPECT_EQ(ran[p].load(), in_failing_task ? 0 : 1) << p;
      }
    }
  }
  // The pool is intact afterwards.
  PieceLog log(9);
  auto record = [&](std::size_t i) { log.record(i); };
  index_on(source.source(), 9, record);
  EXPECT_TRUE(log.each_once());
}

TEST(ParallelForTest, FailuresInPiecesRunInlinePropagateAsThemselves) {
  Executor executor = make_executor(2);
  CountingSource source{&executor};
  auto fail = [](std::size_t start, std::size_t) {
    if (start == 0) platform::fail_invariant("invariant: inline piece failed");
  };
  // One unit: run directly.
  try {
    unit_range_on(source.source(), 10, 12, fail);
    ADD_FAILURE();
  } catch (const platform::InvariantFailure& failure) {
    EXPECT_EQ(failure.message(), "invariant: inline piece failed");
  }
  // Nested inside the caller's own task: run inline.
  auto outer = [&](std::size_t i) {
    if (i == 0) unit_range_on(source.source(), 10, 65537, fail);
  };
  try {
    index_on(source.source(), 3, outer);
    ADD_FAILURE();
  } catch (const platform::InvariantFailure& failure) {
    EXPECT_EQ(failure.message(), "drovek global executor: for_each_index_with: SpawnFailed(Panicked)");
  }
}

TEST(ParallelForTest, AFullAdmissionRingMakesTheCallerRunThoseTasks) {
  // Two workers with rings of 2, both held by gates and both rings filled.
  Executor executor = make_executor(small_config(2, 4));
  SchedulerCore& core = executor.scheduler();
  CountingSource source{&executor};
  Gate first, second;
  ASSERT_TRUE(submit(core, gate_job(first)));
  first.wait_entered();
  ASSERT_TRUE(submit(core, gate_job(second)));
  second.wait_entered();
  testing_support::JobLedger fillers(4);
  // From one fresh thread: its round robin alternates workers 1, 0, 1, 0.
  std::thread([&] {
    for (std::size_t id = 0; id < 4; ++id) EXPECT_TRUE(submit(core, testing_support::ledger_job(fillers, id)));
  }).join();

  PieceLog log(6);
  auto record = [&](std::size_t i) { log.record(i); };
  index_on(source.source(), 6, record);
  EXPECT_TRUE(log.each_once());
  for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(log.runner[i], std::this_thread::get_id()) << i;
  EXPECT_EQ(core.inline_fallbacks.value.load(), 2u);  // T = 3 tasks, two refused

  first.release();
  second.release();
  wait_until_quiescent(core);
  EXPECT_TRUE(fillers.each_ran_once());
}

TEST(ParallelForTest, ACallOnAShutDownExecutorFails) {
  Executor executor = make_executor(2);
  shutdown(executor.scheduler());
  CountingSource source{&executor};
  auto piece = [](std::size_t) {};
  try {
    index_on(source.source(), 4, piece);
    ADD_FAILURE();
  } catch (const platform::InvariantFailure& failure) {
    EXPECT_EQ(failure.message(), "drovek global executor: for_each_index_with: ShuttingDown");
  }
}

TEST(ParallelForTest, AWorkerWaitingForItsOwnJobsHelpsRunThem) {
  // One worker: only the waiting worker itself can run the children.
  Executor executor = make_executor(1);
  SchedulerCore& core = executor.scheduler();
  struct Context {
    SchedulerCore* core;
    testing_support::JobLedger ledger{40};
    std::atomic<std::uint64_t> outstanding{0};
  } context{&core};
  struct Child {
    Context* context;
    std::size_t id;
  };
  Job parent = make_job(
      &context,
      [](Job& job, std::size_t) {
        Context& c = *job_payload<Context*>(job);
        for (std::size_t id = 0; id < 40; ++id) {
          c.outstanding.fetch_add(1);
          Job child = make_job(
              Child{&c, id},
              [](Job& job, std::size_t) {
                Child& ch = job_payload<Child>(job);
                ch.context->ledger.runs[ch.id].fetch_add(1);
                std::lock_guard lock(ch.context->core->completion.mutex);
                if (ch.context->outstanding.fetch_sub(1) == 1) ch.context->core->completion.notify_all_locked();
                return true;
              },
              [](Job&) noexcept {});
          EXPECT_TRUE(submit(*c.core, child));
        }
        wait_helping(*c.core, c.outstanding);
        return true;
      },
      [](Job&) noexcept {});
  ASSERT_TRUE(submit(core, parent));
  wait_until_quiescent(core);
  EXPECT_TRUE(context.ledger.each_ran_once());
}

TEST(GlobalParallelForTest, TheEntryPointsRunOnTheProcessWideExecutor) {
  std::vector<std::atomic<int>> runs(1000);
  for_each_index(runs.size(), [&](std::size_t i) { runs[i].fetch_add(1); });
  EXPECT_TRUE(std::all_of(runs.begin(), runs.end(), [](const std::atomic<int>& r) { return r.load() == 1; }));
  std::vector<float> data(20000, 1.0f);
  for_each_unit_task_mut(data.data(), data.size(), [](std::size_t, float* sub, std::size_t length) {
    for (std::size_t k = 0; k < length; ++k) sub[k] *= 2.0f;
  });
  EXPECT_EQ(std::count(data.begin(), data.end(), 2.0f), 20000);
  std::atomic<std::size_t> covered{0};
  for_each_unit_task_range(100000, 12, [&](std::size_t, std::size_t length) { covered.fetch_add(length); });
  EXPECT_EQ(covered.load(), 100000u);
}

}  // namespace
}  // namespace drovek
