#pragma once
// The blocking parallel-for entry points on the process-wide executor.
//
// Each splits its pieces into at most W + 1 contiguous tasks (W workers),
// submits all but the first, runs the first on the calling thread, waits
// for the rest (helping when the caller is a worker), and returns only when
// every piece has run. Work of one unit, calls from worker threads and calls
// nested inside the caller's own share of a parallel call run sequentially on
// the calling thread. A full admission ring never fails a call: the caller
// runs that task itself. A call creates no heap objects.
//
// Failure: an exception raised in a piece is caught per task, whichever
// thread runs it; the rest of that task is skipped, every other task still
// finishes, and then the lowest-numbered failed task decides the call's
// outcome: an internal invariant failure becomes the invariant failure
// "drovek global executor: <entry point>: SpawnFailed(Panicked)", any other
// exception (std::bad_alloc, a caller's own type) is rethrown as itself.
// Pieces run sequentially (small work, nesting, worker callers, admission
// fallbacks) propagate their failures directly, after any already submitted
// task has finished.
//
// Interrupts: a task works for an interruptible call exactly when the call's
// caller does (platform/interrupt.h), whichever thread runs it, so the
// pieces' polls stop every task of an interrupted call and no task of
// another; the call's platform::Interrupted then reaches its caller like
// any other exception, once every task has finished.

#include <cstddef>
#include <type_traits>
#include <utility>

namespace drovek {

using UnitRangeFunction = void (*)(void* context, std::size_t start, std::size_t length);
using IndexFunction = void (*)(void* context, std::size_t index);
// `sub_buffer` points at element min(first, N) of a buffer of 4-byte elements.
using MutUnitFunction = void (*)(void* context, std::size_t first, void* sub_buffer, std::size_t sub_length);

// Cost units one piece of for_each_unit_task_range_with is worth.
inline constexpr std::size_t kUnitCostBudget = 65536;
// Elements per unit of for_each_unit_task_mut_with, fixed by that entry
// point: the budget at 12 cost units per 4-byte element.
inline constexpr std::size_t kMutUnitElements = 5461;

// Items [0, n) in units of g = 65536 / max(c, 1) items (g = 1 when c > 65536):
// fn(context, u * g, min(g, n - u * g)) for each unit u.
void for_each_unit_task_range_with(std::size_t n, std::size_t unit_cost, void* context, UnitRangeFunction fn);

// fn(context, i) for every i in [0, n).
void for_each_index_with(std::size_t n, void* context, IndexFunction fn);

// A buffer of n 4-byte elements in disjoint units of 5461 elements:
// fn(context, u * 5461, buffer + min(u * 5461, n), unit length).
void for_each_unit_task_mut_with(void* buffer, std::size_t n, void* context, MutUnitFunction fn);

// Grain of for_each_unit_task_range_with for a unit cost.
std::size_t unit_task_grain(std::size_t unit_cost) noexcept;

// ---- Callable conveniences over the entry points ----

template <class F>
void for_each_index(std::size_t n, F&& f) {
  using Fn = std::remove_reference_t<F>;
  for_each_index_with(n, const_cast<void*>(static_cast<const void*>(std::addressof(f))),
                      [](void* context, std::size_t i) { (*static_cast<Fn*>(context))(i); });
}

template <class F>
void for_each_unit_task_range(std::size_t n, std::size_t unit_cost, F&& f) {
  using Fn = std::remove_reference_t<F>;
  for_each_unit_task_range_with(
      n, unit_cost, const_cast<void*>(static_cast<const void*>(std::addressof(f))),
      [](void* context, std::size_t start, std::size_t length) { (*static_cast<Fn*>(context))(start, length); });
}

// f(first, T* sub_buffer, sub_length) for 4-byte element types.
template <class T, class F>
  requires(sizeof(T) == 4)
void for_each_unit_task_mut(T* buffer, std::size_t n, F&& f) {
  using Fn = std::remove_reference_t<F>;
  for_each_unit_task_mut_with(buffer, n, const_cast<void*>(static_cast<const void*>(std::addressof(f))),
                              [](void* context, std::size_t first, void* sub, std::size_t length) {
                                (*static_cast<Fn*>(context))(first, static_cast<T*>(sub), length);
                              });
}

}  // namespace drovek
