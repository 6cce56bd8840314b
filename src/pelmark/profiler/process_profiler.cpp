#include "pelmark/profiler/process_profiler.h"

#include <cstdint>

#include "pelmark/profiler/profiler_settings.h"
#include "pelmark/profiler/thread_profiler_state.h"

namespace pelmark::profiler {

constinit NeverDestroyed<LiveTable> g_process_live_table;
constinit NeverDestroyed<StackInterner> g_process_stack_interner;

namespace {

AllocationRecorder process_recorder() noexcept {
  return AllocationRecorder(process_stack_interner(), process_live_table());
}

}  // namespace

void record_allocation(void* address, std::size_t size) noexcept {
  const RecordingMode mode{leak_detector_on(), sample_interval()};
  process_recorder().record(reinterpret_cast<std::uintptr_t>(address), size, t_profiler_state, mode);
}

void forget_allocation(void* address) noexcept {
  process_recorder().forget(reinterpret_cast<std::uintptr_t>(address), t_profiler_state);
}

}  // namespace pelmark::profiler
