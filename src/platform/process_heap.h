#pragma once
// The C heap (malloc/free), for bookkeeping that must not come from the
// process's own allocator: the allocator's profiler records allocations made
// through pelmark, so its tables live outside it.

#include <cstddef>

namespace platform {

// A block of `size` bytes aligned for any scalar type, or null when the heap
// refuses.
void* process_heap_allocate(std::size_t size) noexcept;

// Releases a block from process_heap_allocate. Null is ignored.
void process_heap_release(void* block) noexcept;

}  // namespace platform
