#pragma once
// The segment-and-page allocator's entry points. It serves the SIMD kernels'
// aligned scratch buffers and the executor's deque slot arrays; the rest of
// the process uses the C/C++ heap. A refused `allocate` ends the process.

#include <cstddef>

namespace pelmark {

// Returns a block of at least `size` bytes aligned to `alignment` (a power of
// two). Never returns null.
void* allocate(std::size_t size, std::size_t alignment);

// Like allocate, but returns null when the system refuses the memory: for
// requests whose size comes from a caller's input, which report the refusal
// to the caller instead of ending the process.
void* try_allocate(std::size_t size, std::size_t alignment);

// Releases a block from `allocate`, from any thread. Null is ignored.
void deallocate(void* address);

// The thread-local collection: reclaims remote frees and releases the
// calling thread's empty pages and segments. Does nothing, and creates no
// heap, on a thread that has never allocated. Idle executor workers call it
// at most every 500 ms.
void collect();

}  // namespace pelmark
