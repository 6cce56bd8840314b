#include "pelmark/process_lifetime.h"

#include "pelmark/profiler/thread_profiler_state.h"

namespace pelmark {

ProcessLifetimeAllocations::ProcessLifetimeAllocations(bool active) noexcept
    : previous_(profiler::t_profiler_state.process_lifetime) {
  if (active) profiler::t_profiler_state.process_lifetime = true;
}

ProcessLifetimeAllocations::~ProcessLifetimeAllocations() { profiler::t_profiler_state.process_lifetime = previous_; }

bool allocating_for_process_lifetime() noexcept { return profiler::t_profiler_state.process_lifetime; }

}  // namespace pelmark
