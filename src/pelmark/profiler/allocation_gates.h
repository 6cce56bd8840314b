#pragma once
// The profiler's gates on the allocator's paths: one after every allocation
// that produced a block, one at the start of every release. Both are inline
// and cheap when they do nothing: with profiling off one flag test; with
// sampling on and no sample due one compare and one subtract.

#include <cstddef>
#include <cstdint>

#include "pelmark/profiler/live_table.h"
#include "pelmark/profiler/process_profiler.h"
#include "pelmark/profiler/profiler_settings.h"
#include "pelmark/profiler/thread_profiler_state.h"

namespace pelmark {

// `block` is not null; `requested` is the size asked for, before rounding.
inline void gate_allocation(void* block, std::size_t requested) noexcept {
  if (!profiler::profiling_active()) [[likely]] return;
  profiler::ThreadProfilerState& state = profiler::t_profiler_state;
  if (state.in_profiler) return;
  if (!profiler::leak_detector_on()) {
    const auto size = static_cast<std::int64_t>(requested > INT64_MAX ? INT64_MAX : requested);
    if (state.countdown > size) {
      state.countdown -= size;
      return;
    }
  }
  profiler::record_allocation(block, requested);
}

// Before `address` (not null) is released. Only the address identifies a
// record, so the block's usable size is not computed.
inline void gate_release(void* address) noexcept {
  if (!profiler::profiling_active()) [[likely]] return;
  const auto shard = profiler::LiveTable::shard_of(reinterpret_cast<std::uintptr_t>(address));
  if (!profiler::process_live_table().shard_has_records(shard)) return;
  profiler::forget_allocation(address);
}

}  // namespace pelmark
