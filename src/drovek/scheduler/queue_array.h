#pragma once
// Raw heap blocks for queue arrays (admission-ring slots, deque stamps)
// whose length comes from the executor configuration. A block the system
// refuses is reported by throwing QueueMemoryRefused, a std::bad_alloc that
// names the request: executor construction turns it into an error value,
// and a deque growing later turns it into the allocation-failure abort. A
// size that overflows, or exceeds what any allocator can serve, is refused
// without asking (and reported as SIZE_MAX bytes when it overflows).

#include <cstddef>
#include <cstdint>
#include <new>

namespace drovek {

class QueueMemoryRefused : public std::bad_alloc {
 public:
  QueueMemoryRefused(std::size_t bytes, std::size_t alignment) noexcept : bytes_(bytes), alignment_(alignment) {}
  const char* what() const noexcept override { return "executor queue memory refused"; }
  std::size_t bytes() const noexcept { return bytes_; }
  std::size_t alignment() const noexcept { return alignment_; }
  // Ends the process with the allocation-failure report for this request.
  [[noreturn]] void report() const noexcept;

 private:
  std::size_t bytes_;
  std::size_t alignment_;
};

// count * element_bytes, or SIZE_MAX when the product does not fit.
std::size_t queue_array_bytes(std::uint64_t count, std::size_t element_bytes) noexcept;

// Uninitialized storage for `count` elements of `element_bytes` aligned to
// `alignment`; throws QueueMemoryRefused when it cannot be had.
void* allocate_queue_array(std::uint64_t count, std::size_t element_bytes, std::size_t alignment);

// Frees a block from allocate_queue_array with the same alignment. Null is
// ignored.
void free_queue_array(void* block, std::size_t alignment) noexcept;

}  // namespace drovek
