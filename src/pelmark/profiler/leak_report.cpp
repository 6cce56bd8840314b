#include "pelmark/profiler/leak_report.h"

#include <algorithm>
#include <cinttypes>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>

#include "pelmark/profiler/process_profiler.h"
#include "pelmark/profiler/thread_profiler_state.h"
#include "platform/environment.h"

namespace pelmark::profiler {

std::vector<LiveAllocation> snapshot_live_allocations(const LiveTable& live, const StackInterner& interner) {
  std::vector<LiveAllocation> allocations;
  for (std::uint32_t shard = 0; shard < LiveTable::kShardCount; ++shard) {
    // The interner is read while the live shard is held so that a record's
    // stack cannot be released and its slot reused under the read. This is
    // the only place holding two profiler locks, always live shard first;
    // no other path waits for a lock while holding one, so it cannot
    // deadlock.
    live.visit_shard(shard, [&](std::uintptr_t address, const LiveRecord& record) {
      std::optional<InternedStack> stack = interner.find(record.stack);
      allocations.push_back({address, record.requested_size,
                             stack ? std::move(stack->frames) : std::vector<std::uintptr_t>{}, record.process_lifetime});
    });
  }
  return allocations;
}

std::vector<LiveAllocation> live_allocations_snapshot() {
  const auto gate = enter_process_tables();
  return snapshot_live_allocations(process_live_table(), process_stack_interner());
}

void write_leak_report(std::FILE* out, std::span<const LiveAllocation> allocations) {
  const auto leaks = static_cast<std::size_t>(std::ranges::count(allocations, false, &LiveAllocation::process_lifetime));
  std::fprintf(out, "pelmark leak report: %zu live allocation%s\n", leaks, leaks == 1 ? "" : "s");
  for (const LiveAllocation& allocation : allocations) {
    if (allocation.process_lifetime) continue;
    std::fprintf(out, "leak address=0x%" PRIxPTR " size=%" PRIu64 " frames=", allocation.address,
                 allocation.requested_size);
    for (std::size_t i = 0; i < allocation.frames.size(); ++i) {
      std::fprintf(out, "%s0x%" PRIxPTR, i == 0 ? "" : ",", allocation.frames[i]);
    }
    std::fputc('\n', out);
  }
  std::fflush(out);
}

namespace {

void write_process_leak_report() {
  // The report's own bookkeeping comes from the C heap; the scope also keeps
  // anything this thread allocates through pelmark meanwhile out of it.
  InProfilerScope scope(t_profiler_state);
  const std::vector<LiveAllocation> allocations = live_allocations_snapshot();
  const std::optional<std::string> path = platform::environment_variable("PELMARK_LEAK_REPORT");
  if (path && !path->empty()) {
    if (std::FILE* file = std::fopen(path->c_str(), "w")) {
      write_leak_report(file, allocations);
      std::fclose(file);
      return;
    }
    std::fprintf(stderr, "pelmark leak report: cannot open PELMARK_LEAK_REPORT file %s\n", path->c_str());
  }
  write_leak_report(stderr, allocations);
}

}  // namespace

void write_leak_report_at_exit() {
  static std::once_flag armed;
  std::call_once(armed, [] { std::atexit(&write_process_leak_report); });
}

}  // namespace pelmark::profiler
