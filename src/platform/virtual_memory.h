#pragma once
// Address-space services for the segment allocator (Windows VirtualAlloc and
// VirtualFree). A mapping is readable and writable and zero-filled; the
// caller remembers its size, because Linux needs it to unmap.

#include <cstddef>

namespace platform {

// Reserves and commits `bytes` of zeroed read-write memory. Null when the
// system refuses (or `bytes` is 0).
void* map_memory(std::size_t bytes) noexcept;

// Returns a whole mapping from `map_memory` to the system. False when the
// system refuses; the mapping is then untouched.
bool unmap_memory(void* base, std::size_t bytes) noexcept;

// Gives back the physical memory of a page-aligned part of a mapping and
// makes it inaccessible, while the range stays reserved inside the mapping
// (so `unmap_memory` of the whole mapping remains correct). False when the
// system refuses.
bool decommit_memory(void* address, std::size_t bytes) noexcept;

}  // namespace platform
