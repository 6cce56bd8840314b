#include "drovek/scheduler/queue_array.h"

#include <cstdint>
#include <limits>

#include "platform/allocation_failure.h"

namespace drovek {

void QueueMemoryRefused::report() const noexcept { platform::report_allocation_failure(bytes_, alignment_); }

std::size_t queue_array_bytes(std::uint64_t count, std::size_t element_bytes) noexcept {
  constexpr std::size_t kLargest = std::numeric_limits<std::size_t>::max();
  if (count > kLargest) return kLargest;
  std::size_t bytes = 0;
  if (__builtin_mul_overflow(static_cast<std::size_t>(count), element_bytes, &bytes)) return kLargest;
  return bytes;
}

void* allocate_queue_array(std::uint64_t count, std::size_t element_bytes, std::size_t alignment) {
  const std::size_t bytes = queue_array_bytes(count, element_bytes);
  // No object may be larger than PTRDIFF_MAX bytes: refused without asking
  // (the sanitizers' heaps would end the process on such a request).
  if (bytes > static_cast<std::size_t>(PTRDIFF_MAX)) throw QueueMemoryRefused(bytes, alignment);
  void* block = ::operator new(bytes, std::align_val_t{alignment}, std::nothrow);
  if (block == nullptr) throw QueueMemoryRefused(bytes, alignment);
  return block;
}

void free_queue_array(void* block, std::size_t alignment) noexcept {
  ::operator delete(block, std::align_val_t{alignment});
}

}  // namespace drovek
