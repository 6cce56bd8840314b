#pragma once
// Records allocations into a live table and stack interner, and forgets them
// when freed. The process-wide pair is driven by the allocation gates; tests
// build their own pairs.
//
// Locks: at most one profiler lock is held at a time (the unwinder lock is
// released before interning, the interner shard before the live-table shard
// is locked, the live-table shard before a stack is released).

#include <cstddef>
#include <cstdint>

#include "pelmark/profiler/live_table.h"
#include "pelmark/profiler/stack_interner.h"
#include "pelmark/profiler/thread_profiler_state.h"

namespace pelmark::profiler {

struct RecordingMode {
  bool leak_detector = false;  // record every allocation; otherwise sample
  std::uint64_t sample_interval = 0;
};

class AllocationRecorder {
 public:
  AllocationRecorder(StackInterner& interner, LiveTable& live) noexcept : interner_(interner), live_(live) {}

  // An allocation of `size` requested bytes at `address`, made by the thread
  // whose state is `state`.
  void record(std::uintptr_t address, std::size_t size, ThreadProfilerState& state, RecordingMode mode);

  // `address` is being freed.
  void forget(std::uintptr_t address, ThreadProfilerState& state);

  StackInterner& interner() const noexcept { return interner_; }
  LiveTable& live() const noexcept { return live_; }

 private:
  StackInterner& interner_;
  LiveTable& live_;
};

}  // namespace pelmark::profiler
