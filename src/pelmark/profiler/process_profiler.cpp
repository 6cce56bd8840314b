#include "pelmark/profiler/process_profiler.h"

#include <cstdint>
#include <new>
#include <shared_mutex>

#include "pelmark/profiler/profiler_settings.h"
#include "pelmark/profiler/thread_profiler_state.h"

namespace pelmark::profiler {

PELMARK_PROCESS_TABLES_INIT NeverDestroyed<LiveTable> g_process_live_table;
PELMARK_PROCESS_TABLES_INIT NeverDestroyed<StackInterner> g_process_stack_interner;

namespace {

// Every use of the process-wide tables holds this gate shared; the forking
// thread holds it exclusively across fork(), so no other thread is inside
// the tables (holding a shard lock or walking a stack) at that moment, and
// the child finds no lock taken by a thread it lacks.
std::shared_mutex g_fork_gate;

AllocationRecorder process_recorder() noexcept {
  return AllocationRecorder(process_stack_interner(), process_live_table());
}

}  // namespace

void hold_profiler_for_fork() noexcept { g_fork_gate.lock(); }
void release_profiler_in_parent() noexcept { g_fork_gate.unlock(); }
// The child's thread has another id than the one that locked the gate, and a
// reader-writer lock checks the writer's id on unlock: a fresh gate instead.
void release_profiler_in_child() noexcept { new (&g_fork_gate) std::shared_mutex(); }

std::shared_lock<std::shared_mutex> enter_process_tables() { return std::shared_lock(g_fork_gate); }

void record_allocation(void* address, std::size_t size) noexcept {
  // A thread already inside the profiler records nothing (and must not take
  // the gate twice).
  if (t_profiler_state.in_profiler) return;
  const std::shared_lock gate(g_fork_gate);
  const RecordingMode mode{leak_detector_on(), sample_interval()};
  process_recorder().record(reinterpret_cast<std::uintptr_t>(address), size, t_profiler_state, mode);
}

void forget_allocation(void* address) noexcept {
  if (t_profiler_state.in_profiler) return;
  const std::shared_lock gate(g_fork_gate);
  process_recorder().forget(reinterpret_cast<std::uintptr_t>(address), t_profiler_state);
}

}  // namespace pelmark::profiler
