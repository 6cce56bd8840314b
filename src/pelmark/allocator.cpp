#include "pelmark/allocator.h"

#include <new>

#include "pelmark/block_release.h"
#include "pelmark/configuration.h"
#include "pelmark/memory_service.h"
#include "pelmark/process_allocator.h"
#include "pelmark/profiler/allocation_gates.h"
#include "pelmark/settings.h"
#include "pelmark/thread_heap.h"
#include "platform/allocation_failure.h"
#include "platform/fork_handlers.h"
#include "platform/thread_exit_slot.h"

namespace pelmark {

namespace {

// The heap pointer is read on every allocation and free: the platform's
// thread exit slot, one load of an initial-exec thread_local on Linux.
ThreadHeap* thread_heap() noexcept { return static_cast<ThreadHeap*>(platform::thread_exit_slot()); }

[[gnu::tls_model("initial-exec")]] constinit thread_local bool t_heap_torn_down = false;

// The thread-exit path of the heap.
void tear_down_thread_heap(void* heap) {
  platform::set_thread_exit_slot(nullptr, nullptr);
  t_heap_torn_down = true;  // later requests on this thread take the huge path
  delete static_cast<ThreadHeap*>(heap);
}

ThreadHeap* create_thread_heap() {
  ThreadHeap* heap = new ThreadHeap(process_arena());
  // Refused, the heap is never torn down: its segments stay with it.
  (void)platform::set_thread_exit_slot(heap, &tear_down_thread_heap);
  return heap;
}

// Everything but the fast path; null when the system refused the memory.
void* allocate_slow_or_null(std::size_t size, std::size_t alignment) {
  void* block;
  if (ThreadHeap* heap = thread_heap()) {
    block = heap->allocate_slow(size, alignment);
  } else if (t_heap_torn_down) {
    block = process_arena().huge_allocate(size, alignment);
  } else {
    configure_from_environment_once();
    block = create_thread_heap()->allocate(size, alignment);
  }
  if (block != nullptr) gate_allocation(block, size);
  return block;
}

// The slow path with the failure report; reached by a tail call so that the
// fast path needs no stack frame.
[[gnu::noinline]] void* allocate_slow(std::size_t size, std::size_t alignment) {
  void* block = allocate_slow_or_null(size, alignment);
  if (block == nullptr) [[unlikely]] platform::report_allocation_failure(size, alignment);
  return block;
}

// Fork: the child has only the forking thread, so a pool lock held by any
// other thread at the fork would never be released there. The forking thread
// holds them all across the fork instead.
//
// The heaps of the other threads stay in the child as they were, owning
// their segments: their state may be mid-update, so they are neither torn
// down nor adopted. Nothing waits on them: the child's frees of their blocks
// take the lock-free remote path, and the child's heap takes segments only
// from the pools. Their memory stays unused in the child (copy-on-write
// pages, so it costs the child nothing it did not already share).
void lock_for_fork() { process_arena().lock_for_fork(); }
void unlock_after_fork() { process_arena().unlock_after_fork(); }

Arena* create_process_arena() {
  static Statistics* const statistics = new Statistics();
  auto* arena = new Arena(system_memory(), *statistics, process_settings());
  // When the system refuses, allocation still works; only a child forked
  // while another thread held a pool lock could then wait forever.
  (void)platform::register_fork_handlers(&lock_for_fork, &unlock_after_fork, &unlock_after_fork);
  return arena;
}

}  // namespace

Arena& process_arena() noexcept {
  static Arena* const arena = create_process_arena();
  return *arena;
}

namespace {

// The arena is made while the library loads, before the program can start
// threads: a fork while another thread was inside its first-use guard would
// leave the child waiting on that guard for ever.
[[maybe_unused]] const bool g_arena_made_at_load = (process_arena(), true);

}  // namespace

void release_all_cached() noexcept { process_arena().release_all_cached(); }

StatisticsSnapshot process_statistics() noexcept { return process_arena().statistics().snapshot(); }

ThreadHeap* current_thread_heap() noexcept { return thread_heap(); }

void* allocate(std::size_t size, std::size_t alignment) {
  if (ThreadHeap* heap = thread_heap()) [[likely]] {
    if (void* block = heap->try_allocate_fast(size, alignment)) [[likely]] {
      gate_allocation(block, size);
      return block;
    }
  }
  return allocate_slow(size, alignment);
}

void* try_allocate(std::size_t size, std::size_t alignment) {
  if (ThreadHeap* heap = thread_heap()) [[likely]] {
    if (void* block = heap->try_allocate_fast(size, alignment)) [[likely]] {
      gate_allocation(block, size);
      return block;
    }
  }
  return allocate_slow_or_null(size, alignment);
}

void deallocate(void* address) {
  if (address != nullptr) gate_release(address);
  deallocate_block(thread_heap(), address);
}

void collect() {
  if (ThreadHeap* heap = thread_heap()) heap->collect();
}

}  // namespace pelmark
