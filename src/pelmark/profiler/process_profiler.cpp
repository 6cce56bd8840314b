#include "pelmark/profiler/process_profiler.h"

#include <cstdint>

#include "pelmark/profiler/profiler_settings.h"
#include "pelmark/profiler/thread_profiler_state.h"

namespace pelmark::profiler {

PELMARK_PROCESS_TABLES_INIT NeverDestroyed<LiveTable> g_process_live_table;
PELMARK_PROCESS_TABLES_INIT NeverDestroyed<StackInterner> g_process_stack_interner;

namespace {

// Every use of the process-wide tables passes this gate; the forking thread
// closes it across fork() (see fork_gate.h).
constinit ForkGate g_fork_gate;

AllocationRecorder process_recorder() noexcept {
  return AllocationRecorder(process_stack_interner(), process_live_table());
}

}  // namespace

void hold_profiler_for_fork() noexcept { g_fork_gate.close(); }
void release_profiler_in_parent() noexcept { g_fork_gate.open(); }
void release_profiler_in_child() noexcept { g_fork_gate.reset_in_child(); }

ForkGate::Passage enter_process_tables() noexcept { return ForkGate::Passage(g_fork_gate); }

void record_allocation(void* address, std::size_t size) noexcept {
  // A thread already inside the profiler records nothing (and must not take
  // the gate twice).
  if (t_profiler_state.in_profiler) return;
  const ForkGate::Passage gate(g_fork_gate);
  const RecordingMode mode{leak_detector_on(), sample_interval()};
  process_recorder().record(reinterpret_cast<std::uintptr_t>(address), size, t_profiler_state, mode);
}

void forget_allocation(void* address) noexcept {
  if (t_profiler_state.in_profiler) return;
  const ForkGate::Passage gate(g_fork_gate);
  process_recorder().forget(reinterpret_cast<std::uintptr_t>(address), t_profiler_state);
}

}  // namespace pelmark::profiler
