#include "drovek/parallel/parallel_call.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <string>

#include "drovek/executor/global_executor.h"
#include "drovek/executor/thread_limit.h"
#include "drovek/parallel/completion_latch.h"
#include "drovek/parallel/first_task_failure.h"
#include "drovek/parallel/indexed_region.h"
#include "drovek/parallel/task_range.h"
#include "drovek/scheduler/job.h"
#include "drovek/scheduler/reclaim_unstarted.h"
#include "drovek/scheduler/run_job.h"
#include "drovek/scheduler/submit.h"
#include "drovek/scheduler/thread_state.h"
#include "drovek/scheduler/wait_helping.h"
#include "platform/interrupt.h"
#include "platform/invariant_failure.h"
#include "platform/processor_steering.h"

namespace drovek {
namespace {

enum class PieceShape { UnitRange, Index, MutUnit };

// The call's shared description, on the caller's stack.
struct CallDescription {
  PieceShape shape;
  std::size_t items;  // N
  std::size_t grain;  // items per unit (UnitRange, MutUnit)
  void* context;
  UnitRangeFunction unit_range = nullptr;
  IndexFunction index = nullptr;
  MutUnitFunction mut_unit = nullptr;
  std::byte* buffer = nullptr;
  CompletionLatch* latch = nullptr;
  FirstTaskFailure* failure = nullptr;
  // Where the caller ran when it submitted; workers move off it (below).
  std::optional<std::uint32_t> caller_processor;
  // Whether the caller works for an interruptible call: its tasks do too,
  // on whichever thread runs them (platform/interrupt.h).
  bool interruptible = false;
};

constexpr std::size_t kMutElementBytes = 4;

// The shape is decided once per range, not per piece: small bodies make the
// per-piece cost the whole cost.
void run_pieces(const CallDescription& call, TaskRange range) {
  switch (call.shape) {
    case PieceShape::Index:
      for (std::size_t i = range.begin; i < range.end; ++i) call.index(call.context, i);
      return;
    case PieceShape::UnitRange:
      for (std::size_t u = range.begin; u < range.end; ++u) {
        const std::size_t start = u * call.grain;
        call.unit_range(call.context, start, std::min(call.grain, call.items - start));
      }
      return;
    case PieceShape::MutUnit:
      for (std::size_t u = range.begin; u < range.end; ++u) {
        const std::size_t first = u * call.grain;
        const std::size_t begin = std::min(first, call.items);
        const std::size_t end = call.items - begin > call.grain ? begin + call.grain : call.items;
        call.mut_unit(call.context, first, call.buffer + begin * kMutElementBytes, end - begin);
      }
      return;
  }
}

// The payload of a submitted task (fits the job payload).
struct TaskPayload {
  const CallDescription* call;
  std::size_t index;  // task number: 0 is the caller's own
  TaskRange range;
  bool ran;
};

// Runs one task's pieces, keeping whatever escapes them for the caller: the
// caller must see the same outcome whichever thread ran the task, and an
// exception leaving a worker thread would end the process. The rest of a
// failed task is skipped. True when every piece returned.
bool run_task_pieces(const CallDescription& call, std::size_t index, TaskRange range) noexcept {
  try {
    run_pieces(call, range);
    return true;
  } catch (...) {
    call.failure->record(index, std::current_exception());
    return false;
  }
}

// A worker woken onto the processor of the caller, which is busy with its
// own share, would split that processor with it while another may sit idle
// (some kernels leave such pairs for milliseconds): it moves itself off.
// It floats freely again when it next goes idle.
void leave_callers_processor(const CallDescription& call) noexcept {
  if (!call.caller_processor || !this_thread_state().is_worker()) return;
  if (platform::current_processor_id() == call.caller_processor) {
    platform::steer_current_thread_off(*call.caller_processor);
  }
}

bool run_task(Job& job, std::size_t) {
  TaskPayload& task = job_payload<TaskPayload>(job);
  leave_callers_processor(*task.call);
  CompletionLatch& latch = *task.call->latch;
  bool succeeded;
  {
    const platform::InterruptibleScope interruptible(task.call->interruptible);
    succeeded = run_task_pieces(*task.call, task.index, task.range);
  }
  task.ran = true;
  latch.finish(true);  // the call's frame may be gone after this
  return succeeded;
}

void release_task(Job& job) noexcept { job_payload<TaskPayload>(job).call->latch->finish(false); }

[[noreturn]] void fail_call(const char* entry_point, const ExecutorError& error) {
  platform::fail_invariant(std::string("drovek global executor: ") + entry_point + ": " + debug(error));
}

// Keeps the caller's frame alive while submitted tasks may still use it: if
// a piece run on the calling thread propagates an exception, the unwinding
// first waits for every submitted task.
class SubmittedTasksGuard {
 public:
  SubmittedTasksGuard(SchedulerCore& core, const CompletionLatch& latch) noexcept : core_(core), latch_(latch) {}
  ~SubmittedTasksGuard() {
    if (armed_) wait_helping(core_, latch_.outstanding());
  }
  void wait() {
    wait_helping(core_, latch_.outstanding());
    armed_ = false;
  }

 private:
  SchedulerCore& core_;
  const CompletionLatch& latch_;
  bool armed_ = true;
};

void drive(const char* entry_point, ExecutorSource source, CallDescription& call, std::size_t units) {
  const Executor& executor = source();
  SchedulerCore& core = executor.scheduler();
  if (core.is_shutting_down()) fail_call(entry_point, ExecutorError::ShuttingDown{});
  if (this_thread_state().is_worker() || inside_indexed_region()) {
    run_pieces(call, {0, units});
    return;
  }

  const std::size_t workers = std::max<std::size_t>(core.worker_count(), 1);
  const std::size_t tasks = std::min(units, limit_call_threads(workers + 1));
  CompletionLatch latch(core.completion);
  call.latch = &latch;
  if (tasks > 1) call.caller_processor = platform::current_processor_id();
  call.interruptible = platform::working_for_interruptible_call();
  FirstTaskFailure failure;
  call.failure = &failure;
  SubmittedTasksGuard guard(core, latch);

  std::optional<ExecutorError> kept;
  for (std::size_t t = 1; t < tasks; ++t) {
    const TaskRange range = task_range(units, tasks, t);
    latch.add_outstanding();
    const Job job = make_job(TaskPayload{&call, t, range, false}, &run_task, &release_task);
    std::expected<void, ExecutorError> submitted = submit(core, job, kParallelForPriority);
    if (submitted) continue;
    // The job came back through release_task (counted as cancelled).
    const ExecutorError& error = submitted.error();
    if (error.is<ExecutorError::ResourceExhausted>() || (error.is<ExecutorError::ShuttingDown>() && t >= 2)) {
      latch.uncount_cancelled();
      core.inline_fallbacks.value.fetch_add(1, std::memory_order_seq_cst);
      run_pieces(call, range);
      continue;
    }
    kept = error;
    break;
  }

  if (!kept) {
    IndexedRegionScope region;
    run_task_pieces(call, 0, task_range(units, tasks, 0));
    // Tasks that no worker has started yet are run here rather than waited
    // for (inside the region, so that their nested calls stay inline).
    while (latch.outstanding().load(std::memory_order_seq_cst) != 0) {
      std::optional<Job> job = reclaim_unstarted(core);
      if (!job) break;
      run_job(core, *job, core.worker_count());
    }
  }
  guard.wait();

  // The lowest-numbered failing task decides. An internal invariant failure
  // becomes the call's SpawnFailed(Panicked); any other exception (say
  // std::bad_alloc) reaches the caller as itself.
  if (std::exception_ptr first = failure.first()) {
    try {
      std::rethrow_exception(first);
    } catch (const platform::InvariantFailure&) {
      fail_call(entry_point, ExecutorError::SpawnFailed{TaskError(TaskError::Variant::Panicked)});
    }
  }
  if (kept) fail_call(entry_point, *kept);
  if (latch.cancelled() > 0) {
    fail_call(entry_point, ExecutorError::SpawnFailed{TaskError(TaskError::Variant::Cancelled)});
  }
}

std::size_t units_of(std::size_t items, std::size_t grain) noexcept { return items / grain + (items % grain != 0); }

constexpr const char* kUnitRangeName = "for_each_unit_task_range_with";
constexpr const char* kIndexName = "for_each_index_with";
constexpr const char* kMutUnitName = "for_each_unit_task_mut_with";

}  // namespace

std::size_t unit_task_grain(std::size_t unit_cost) noexcept {
  if (unit_cost > kUnitCostBudget) return 1;
  return kUnitCostBudget / std::max<std::size_t>(unit_cost, 1);
}

ExecutorSource global_executor_source() noexcept {
  return {[](void*) -> const Executor& { return global_executor(); }, nullptr};
}

void for_each_unit_task_range_on(ExecutorSource source, std::size_t n, std::size_t unit_cost, void* context,
                                 UnitRangeFunction fn) {
  if (n == 0) return;
  const std::size_t grain = unit_task_grain(unit_cost);
  const std::size_t units = units_of(n, grain);
  if (units == 1) {
    fn(context, 0, n);
    return;
  }
  CallDescription call{PieceShape::UnitRange, n, grain, context};
  call.unit_range = fn;
  drive(kUnitRangeName, source, call, units);
}

void for_each_index_on(ExecutorSource source, std::size_t n, void* context, IndexFunction fn) {
  // Nothing to split: do not create the executor for it (and avoid a split
  // into zero tasks).
  if (n == 0) return;
  CallDescription call{PieceShape::Index, n, 1, context};
  call.index = fn;
  drive(kIndexName, source, call, n);
}

void for_each_unit_task_mut_on(ExecutorSource source, void* buffer, std::size_t n, void* context,
                               MutUnitFunction fn) {
  if (n == 0) return;
  const std::size_t units = units_of(n, kMutUnitElements);
  if (units == 1) {
    fn(context, 0, buffer, n);
    return;
  }
  CallDescription call{PieceShape::MutUnit, n, kMutUnitElements, context};
  call.mut_unit = fn;
  call.buffer = static_cast<std::byte*>(buffer);
  drive(kMutUnitName, source, call, units);
}

void for_each_unit_task_range_with(std::size_t n, std::size_t unit_cost, void* context, UnitRangeFunction fn) {
  for_each_unit_task_range_on(global_executor_source(), n, unit_cost, context, fn);
}

void for_each_index_with(std::size_t n, void* context, IndexFunction fn) {
  for_each_index_on(global_executor_source(), n, context, fn);
}

void for_each_unit_task_mut_with(void* buffer, std::size_t n, void* context, MutUnitFunction fn) {
  for_each_unit_task_mut_on(global_executor_source(), buffer, n, context, fn);
}

}  // namespace drovek
