#pragma once
// The process-wide allocator behind allocate/deallocate/collect: one arena
// over the system's mappings, and one thread heap per thread that has
// allocated, created on its first allocation and torn down at thread exit.
//
// Only one arena instance exists: the aligned buffers and the executor's
// deque slot arrays are the only allocation domains, and they share it.

#include "pelmark/arena.h"
#include "pelmark/statistics.h"

namespace pelmark {

// Created on first use and never destroyed (threads may still allocate while
// the process exits).
Arena& process_arena() noexcept;

// Unmaps every retained segment and cached huge mapping of the process.
void release_all_cached() noexcept;

StatisticsSnapshot process_statistics() noexcept;

// The calling thread's heap, or null when it has not allocated yet or has
// already torn its heap down.
ThreadHeap* current_thread_heap() noexcept;

}  // namespace pelmark
