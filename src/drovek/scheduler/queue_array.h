#pragma once
// Raw heap blocks for queue arrays (admission-ring slots, deque stamps)
// whose length comes from the executor configuration. A block that cannot be
// had ends the process through the allocation-failure report, never by an
// exception: executor construction returns its errors as values, and a size
// that overflows is reported as SIZE_MAX bytes.

#include <cstddef>
#include <cstdint>

namespace drovek {

// count * element_bytes, or SIZE_MAX when the product does not fit.
std::size_t queue_array_bytes(std::uint64_t count, std::size_t element_bytes) noexcept;

// Uninitialized storage for `count` elements of `element_bytes` aligned to
// `alignment`; never null.
void* allocate_queue_array(std::uint64_t count, std::size_t element_bytes, std::size_t alignment) noexcept;

// Frees a block from allocate_queue_array with the same alignment. Null is
// ignored.
void free_queue_array(void* block, std::size_t alignment) noexcept;

}  // namespace drovek
