#include "drovek/scheduler/queue_array.h"

#include <limits>
#include <new>

#include "platform/allocation_failure.h"

namespace drovek {

std::size_t queue_array_bytes(std::uint64_t count, std::size_t element_bytes) noexcept {
  constexpr std::size_t kLargest = std::numeric_limits<std::size_t>::max();
  if (count > kLargest) return kLargest;
  std::size_t bytes = 0;
  if (__builtin_mul_overflow(static_cast<std::size_t>(count), element_bytes, &bytes)) return kLargest;
  return bytes;
}

void* allocate_queue_array(std::uint64_t count, std::size_t element_bytes, std::size_t alignment) noexcept {
  const std::size_t bytes = queue_array_bytes(count, element_bytes);
  // SIZE_MAX stands for an overflowed size: no system could serve it.
  if (bytes == std::numeric_limits<std::size_t>::max()) platform::report_allocation_failure(bytes, alignment);
  void* block = ::operator new(bytes, std::align_val_t{alignment}, std::nothrow);
  if (block == nullptr) platform::report_allocation_failure(bytes, alignment);
  return block;
}

void free_queue_array(void* block, std::size_t alignment) noexcept {
  ::operator delete(block, std::align_val_t{alignment});
}

}  // namespace drovek
