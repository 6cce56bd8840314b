#pragma once
// The leak detector's read-out.
//
// When the leak detector is on (PELMARK_LEAK_DETECTOR), the records still in
// the live table when the process exits normally (return from main or
// exit(); not _exit, quick_exit or a crash) are written as text:
//
//   pelmark leak report: <N> live allocations
//   leak address=0x<hex> size=<requested bytes> frames=0x<hex>,0x<hex>,...
//   ... one "leak" line per record, in no particular order
//
// Records of blocks meant to live until the process ends (made inside a
// ProcessLifetimeAllocations scope, such as the executor's queues) are left
// out and not counted: a program that frees everything it allocated gets
// "0 live allocations" and no "leak" line.
//
// The frames are the raw return addresses of the allocating call stack,
// innermost first (the first ones are inside the profiler and allocator);
// resolve them with addr2line or a debugger against the loaded modules. The
// report goes to standard error, or, when PELMARK_LEAK_REPORT names a file,
// to that file (created or truncated; if it cannot be opened the report goes
// to standard error after a line saying so).

#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

#include "pelmark/profiler/live_table.h"
#include "pelmark/profiler/stack_interner.h"

namespace pelmark::profiler {

struct LiveAllocation {
  std::uintptr_t address = 0;
  std::uint64_t requested_size = 0;
  std::vector<std::uintptr_t> frames;
  bool process_lifetime = false;
};

// The records of a live table with the frames of their stacks.
std::vector<LiveAllocation> snapshot_live_allocations(const LiveTable& live, const StackInterner& interner);

// The process-wide records (those the gates made).
std::vector<LiveAllocation> live_allocations_snapshot();

// Lists the allocations that are not meant to live for the whole process.
void write_leak_report(std::FILE* out, std::span<const LiveAllocation> allocations);

// Arranges for the report at process exit; later calls do nothing.
void write_leak_report_at_exit();

}  // namespace pelmark::profiler
