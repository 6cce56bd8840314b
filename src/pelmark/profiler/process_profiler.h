#pragma once
// The process-wide live table and stack interner behind the allocation
// gates. They are never destroyed: threads may allocate and free while the
// process exits.

#include <cstddef>

#include "pelmark/profiler/allocation_recorder.h"
#include "pelmark/profiler/fork_gate.h"
#include "pelmark/profiler/live_table.h"
#include "pelmark/profiler/stack_interner.h"

namespace pelmark::profiler {

template <typename T>
union NeverDestroyed {
  constexpr NeverDestroyed() : value() {}
  ~NeverDestroyed() {}
  T value;
};

// MinGW's std::mutex (winpthreads) has no constant initialiser, so on
// Windows the tables are made by the start-up code, before main and before
// anything else of this library runs.
#if defined(_WIN32)
#define PELMARK_PROCESS_TABLES_INIT [[gnu::init_priority(101)]]
#else
#define PELMARK_PROCESS_TABLES_INIT constinit
#endif

extern NeverDestroyed<LiveTable> g_process_live_table;
extern NeverDestroyed<StackInterner> g_process_stack_interner;

inline LiveTable& process_live_table() noexcept { return g_process_live_table.value; }
inline StackInterner& process_stack_interner() noexcept { return g_process_stack_interner.value; }

// Around fork(): the forking thread waits until no other thread uses the
// process-wide tables and keeps them out until the fork is done. Threads
// that arrive meanwhile wait behind it, so the wait is bounded by the uses
// already under way.
void hold_profiler_for_fork() noexcept;
void release_profiler_in_parent() noexcept;
void release_profiler_in_child() noexcept;

// Held by every reader of the process-wide tables outside the gates.
ForkGate::Passage enter_process_tables() noexcept;

// The gates' out-of-line halves, with the current modes and thread state.
void record_allocation(void* address, std::size_t size) noexcept;
void forget_allocation(void* address) noexcept;

}  // namespace pelmark::profiler
