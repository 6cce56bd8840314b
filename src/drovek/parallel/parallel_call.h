#pragma once
// The parallel-for drivers over an explicit executor source. The public entry
// points use the process-wide executor; tests pass their own executors, and
// can observe that small work never asks for one.

#include <cstddef>

#include "drovek/executor/executor.h"
#include "drovek/parallel/parallel_for.h"

namespace drovek {

// Asked for the executor only when the work is split (never for work of one
// unit or none).
struct ExecutorSource {
  const Executor& (*get)(void* state) = nullptr;
  void* state = nullptr;
  const Executor& operator()() const { return get(state); }
};

ExecutorSource global_executor_source() noexcept;

void for_each_unit_task_range_on(ExecutorSource source, std::size_t n, std::size_t unit_cost, void* context,
                                 UnitRangeFunction fn);
void for_each_index_on(ExecutorSource source, std::size_t n, void* context, IndexFunction fn);
void for_each_unit_task_mut_on(ExecutorSource source, void* buffer, std::size_t n, void* context,
                               MutUnitFunction fn);

}  // namespace drovek
