#include "drovek/parallel/indexed_region.h"

#include <limits>

#include "drovek/scheduler/thread_state.h"
#include "platform/invariant_failure.h"

namespace drovek {

IndexedRegionScope::IndexedRegionScope() {
  ThreadState& state = this_thread_state();
  previous_active_ = state.region_active;
  previous_depth_ = state.region_depth;
  if (state.region_active && state.region_depth == std::numeric_limits<std::uint64_t>::max()) {
    platform::fail_invariant("invariant: indexed-region nesting depth fits usize");
  }
  state.region_depth = state.region_active ? state.region_depth + 1 : 1;
  state.region_active = true;
}

IndexedRegionScope::~IndexedRegionScope() {
  ThreadState& state = this_thread_state();
  state.region_active = previous_active_;
  state.region_depth = previous_depth_;
}

bool inside_indexed_region() noexcept {
  const ThreadState& state = this_thread_state();
  return state.region_active && state.region_depth > 0;
}

}  // namespace drovek
