#include "pelmark/profiler/allocation_recorder.h"

#include <algorithm>
#include <array>
#include <span>

#include "pelmark/profiler/countdown_draw.h"
#include "platform/stack_capture.h"

namespace pelmark::profiler {

void AllocationRecorder::record(std::uintptr_t address, std::size_t size, ThreadProfilerState& state,
                                RecordingMode mode) {
  if (state.in_profiler) return;
  InProfilerScope scope(state);
  const auto clamped = static_cast<std::int64_t>(std::min<std::size_t>(size, INT64_MAX));
  if (!mode.leak_detector) {
    if (state.countdown > clamped) {
      state.countdown = countdown_after(state.countdown, clamped);
      return;
    }
    state.countdown = countdown_from_draw(draw_countdown(state.generator, mode.sample_interval));
  }
  std::array<std::uintptr_t, kMaxStackFrames> frames;
  const std::size_t count = platform::capture_stack(frames);
  const StackId id = interner_.intern(std::span<const std::uintptr_t>(frames.data(), count));
  const auto replaced = live_.enter(address, LiveRecord{static_cast<std::uint64_t>(size), id, state.process_lifetime});
  if (replaced) interner_.release(*replaced);
  if (!mode.leak_detector) state.countdown = countdown_after(state.countdown, clamped);
}

void AllocationRecorder::forget(std::uintptr_t address, ThreadProfilerState& state) {
  if (!live_.shard_has_records(LiveTable::shard_of(address))) return;
  if (state.in_profiler) return;
  InProfilerScope scope(state);
  if (const auto record = live_.remove(address)) interner_.release(record->stack);
}

}  // namespace pelmark::profiler
