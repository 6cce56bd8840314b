// Executor lifecycle: worker threads and their names, thread-creation
// refusal, shutdown, release from a worker, and the once-only process-wide
// executor.

#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "drovek/executor/executor.h"
#include "drovek/executor/executor_once_slot.h"
#include "drovek/executor/global_executor.h"
#include "drovek/scheduler/quiescence.h"
#include "drovek/scheduler/submit.h"
#include "support/address_barrier.h"
#include "support/test_jobs.h"
#include "vendral/topology.h"

namespace drovek {
namespace {

using testing_support::JobLedger;
using testing_support::ledger_job;
using testing_support::make_executor;
using testing_support::small_config;

// Holds `count` jobs on distinct workers at once and collects the
// OS-level names of the threads they ran on.
std::set<std::string> names_of_workers(SchedulerCore& core, std::size_t count) {
  struct Context {
    explicit Context(std::size_t n) : all_running(static_cast<std::uint32_t>(n)) {}
    test_support::AddressBarrier all_running;
    std::mutex mutex;
    std::set<std::string> names;
  } context(count);
  for (std::size_t k = 0; k < count; ++k) {
    Job job = make_job(
        &context,
        [](Job& job, std::size_t) {
          Context& c = *job_payload<Context*>(job);
          {
            std::lock_guard lock(c.mutex);
            c.names.insert(platform::current_thread_name());
          }
          // Nobody leaves before all are running: each job holds a worker.
          c.all_running.arrive_and_wait();
          return true;
        },
        [](Job&) noexcept {});
    EXPECT_TRUE(submit(core, job));
  }
  wait_until_quiescent(core);
  return context.names;
}

TEST(ExecutorTest, WorkersCarryTheirNamesAtOsLevel) {
  Executor executor = make_executor(3);
  EXPECT_EQ(names_of_workers(executor.scheduler(), 3),
            (std::set<std::string>{"drovek-worker-0", "drovek-worker-1", "drovek-worker-2"}));
}

// Linux keeps 15 bytes of a thread's name; Windows keeps all of it.
TEST(ExecutorTest, LongThreadNamesKeepWhatTheSystemStores) {
  ExecutorConfig config = small_config(1);
  config.thread_name = "a-rather-long-pool";
  Executor executor = make_executor(config);
#if defined(_WIN32)
  const std::string stored = "a-rather-long-pool-0";
#else
  const std::string stored = "a-rather-long-p";
#endif
  EXPECT_EQ(names_of_workers(executor.scheduler(), 1), (std::set<std::string>{stored}));
}

TEST(ExecutorTest, RefusedThreadCreationShutsDownThePartialPool) {
  int calls = 0;
  std::atomic<int> started_exited{0};
  ConstructionHooks hooks;
  hooks.spawn_thread = [&](std::string name, std::size_t stack,
                           std::move_only_function<void()> body) -> std::expected<platform::ThreadHandle, int> {
    if (++calls == 3) return std::unexpected(11);
    return platform::spawn_thread(std::move(name), stack, [&, body = std::move(body)]() mutable {
      body();
      started_exited.fetch_add(1);
    });
  };
  auto created = Executor::create(small_config(4), hooks);
  ASSERT_FALSE(created);
  EXPECT_EQ(created.error(), ExecutorError::ThreadPoolCreationFailed{});
  EXPECT_EQ(calls, 3);
  // Both started workers were joined before construction returned.
  EXPECT_EQ(started_exited.load(), 2);
}

TEST(ExecutorTest, MemoryRefusedForAWorkersStartIsAnErrorAndShutsDownThePartialPool) {
  int calls = 0;
  std::atomic<int> started_exited{0};
  ConstructionHooks hooks;
  hooks.spawn_thread = [&](std::string name, std::size_t stack,
                           std::move_only_function<void()> body) -> std::expected<platform::ThreadHandle, int> {
    if (++calls == 2) throw std::bad_alloc();
    return platform::spawn_thread(std::move(name), stack, [&, body = std::move(body)]() mutable {
      body();
      started_exited.fetch_add(1);
    });
  };
  auto created = Executor::create(small_config(3), hooks);
  ASSERT_FALSE(created);
  EXPECT_EQ(created.error(), ExecutorError::ResourceExhausted{kExecutorMemoryRefused});
  EXPECT_EQ(display(created.error()), "Resource exhausted: the system refused memory for the executor");
  EXPECT_EQ(started_exited.load(), 1);
}

TEST(ExecutorTest, ReleasingTheLastHandleRunsQueuedJobsAndJoinsTheWorkers) {
  JobLedger ledger(2000);
  std::atomic<int> exited{0};
  ConstructionHooks hooks;
  hooks.spawn_thread = [&](std::string name, std::size_t stack,
                           std::move_only_function<void()> body) -> std::expected<platform::ThreadHandle, int> {
    return platform::spawn_thread(std::move(name), stack, [&, body = std::move(body)]() mutable {
      body();
      exited.fetch_add(1);
    });
  };
  {
    auto created = Executor::create(small_config(3), hooks);
    ASSERT_TRUE(created);
    Executor copy = *created;  // handles share one pool
    for (std::size_t id = 0; id < ledger.runs.size(); ++id) {
      testing_support::submit_until_admitted(copy.scheduler(), ledger, id, ledger_job(ledger, id));
    }
  }
  EXPECT_EQ(exited.load(), 3);
  EXPECT_TRUE(ledger.each_ran_once());
}

TEST(ExecutorTest, AWorkerReleasingTheLastHandleDoesNotJoinItself) {
  auto* last_handle = new Executor(make_executor(2));
  std::atomic<bool> released{false};
  struct Context {
    Executor* handle;
    std::atomic<bool>* released;
  } context{last_handle, &released};
  Job job = make_job(
      context,
      [](Job& job, std::size_t) {
        Context& c = job_payload<Context>(job);
        delete c.handle;  // shutdown from inside the pool
        c.released->store(true);
        return true;
      },
      [](Job&) noexcept {});
  ASSERT_TRUE(submit(last_handle->scheduler(), job));
  while (!released.load()) std::this_thread::yield();
}

TEST(ExecutorTest, RecordsItsConstruction) {
  const auto before = std::chrono::steady_clock::now();
  Executor executor = make_executor(2);
  EXPECT_GE(executor.lifetime().created, before);
  EXPECT_EQ(executor.lifetime().worker_count, 2u);
  EXPECT_EQ(executor.scheduler().lifetime().get(), &executor.lifetime());
  EXPECT_THROW(executor.scheduler().install_lifetime(std::make_shared<ExecutorLifetime>()),
               platform::InvariantFailure);
}

TEST(ExecutorOnceSlotTest, TwoThreadsCreatingAtOnceShareOneExecutor) {
  for (int round = 0; round < 20; ++round) {
    ExecutorOnceSlot slot;
    std::atomic<int> constructions{0};
    test_support::AddressBarrier start(2);
    const Executor* seen[2] = {};
    auto first_call = [&](int k) {
      start.arrive_and_wait();
      seen[k] = &slot.get_or_create([&] {
        constructions.fetch_add(1);
        return make_executor(1);
      });
    };
    std::thread a(first_call, 0), b(first_call, 1);
    a.join();
    b.join();
    EXPECT_EQ(constructions.load(), 1);
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(slot.get_if_created(), seen[0]);
  }
}

TEST(ExecutorOnceSlotTest, AConstructionThatThrowsLeavesTheSlotForTheNextCaller) {
  ExecutorOnceSlot slot;
  int attempts = 0;
  auto make = [&] {
    if (++attempts < 3) throw std::bad_alloc();
    return make_executor(1);
  };
  EXPECT_THROW(slot.get_or_create(make), std::bad_alloc);
  EXPECT_EQ(slot.get_if_created(), nullptr);
  EXPECT_THROW(slot.get_or_create(make), std::bad_alloc);
  const Executor& made = slot.get_or_create(make);
  EXPECT_EQ(slot.get_if_created(), &made);
  EXPECT_EQ(&slot.get_or_create(make), &made);
  EXPECT_EQ(attempts, 3);
}

TEST(GlobalExecutorTest, IsCreatedOnceWithOneWorkerPerLogicalProcessor) {
  const Executor* seen[2] = {};
  test_support::AddressBarrier start(2);
  std::thread a([&] {
    start.arrive_and_wait();
    seen[0] = &global_executor();
  });
  std::thread b([&] {
    start.arrive_and_wait();
    seen[1] = &global_executor();
  });
  a.join();
  b.join();
  EXPECT_EQ(seen[0], seen[1]);
  EXPECT_EQ(global_executor_if_created(), seen[0]);
  const ExecutorConfig& config = seen[0]->config();
  EXPECT_EQ(config.worker_count, vendral::probe_topology().logical_processor_count);
  EXPECT_EQ(config.thread_name, "drovek-worker");
  EXPECT_EQ(config.admission_capacity_total, 8192u);
  EXPECT_EQ(config.local_queue_initial_capacity, 128u);
  EXPECT_FALSE(config.pin_workers);
}

TEST(GlobalExecutorTest, ConstructionErrorsBecomeInvariantFailures) {
  EXPECT_EQ(global_executor_config(0).worker_count, 1u);
  ExecutorConfig config = global_executor_config(1);
  config.local_queue_initial_capacity = (std::uint64_t{1} << 55) + 1;
  try {
    create_global_executor(config);
    ADD_FAILURE();
  } catch (const platform::InvariantFailure& failure) {
    EXPECT_EQ(failure.message(),
              "initialize global Drovek executor: InvalidLocalQueueInitialCapacity { requested: 36028797018963969 }");
  }
}

TEST(GlobalExecutorTest, RefusedMemoryIsABadAllocOfThatCallOnly) {
  ExecutorConfig config = global_executor_config(1);
  config.admission_capacity_total = std::uint64_t{1} << 62;  // a ring no system can hold
  EXPECT_THROW(create_global_executor(config), ExecutorResourcesRefused);
  EXPECT_THROW(create_global_executor(config), std::bad_alloc);
  config.admission_capacity_total = 8192;
  EXPECT_EQ(create_global_executor(config).worker_count(), 1u);
}

}  // namespace
}  // namespace drovek
