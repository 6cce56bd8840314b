#pragma once
// A standard-library allocator over the C heap, for the profiler's tables:
// they must never come from pelmark, which they describe. A refused request
// ends the process like any refused allocation.

#include <cstddef>
#include <new>

#include "platform/allocation_failure.h"
#include "platform/process_heap.h"

namespace pelmark::profiler {

[[nodiscard]] inline void* process_heap_block(std::size_t size) noexcept {
  void* block = platform::process_heap_allocate(size);
  if (block == nullptr) [[unlikely]] platform::report_allocation_failure(size, 8);
  return block;
}

template <typename T>
struct ProcessHeapAllocator {
  using value_type = T;

  ProcessHeapAllocator() noexcept = default;
  template <typename U>
  ProcessHeapAllocator(const ProcessHeapAllocator<U>&) noexcept {}

  T* allocate(std::size_t count) {
    static_assert(alignof(T) <= alignof(std::max_align_t));
    if (count > static_cast<std::size_t>(-1) / sizeof(T)) platform::report_allocation_failure(static_cast<std::size_t>(-1), 8);
    return static_cast<T*>(process_heap_block(count * sizeof(T)));
  }
  void deallocate(T* block, std::size_t) noexcept { platform::process_heap_release(block); }

  template <typename U>
  bool operator==(const ProcessHeapAllocator<U>&) const noexcept {
    return true;
  }
};

// Constructs one T in a C-heap block; destroy_on_process_heap undoes it.
template <typename T, typename... Args>
T* create_on_process_heap(Args&&... args) {
  return new (process_heap_block(sizeof(T))) T(static_cast<Args&&>(args)...);
}

template <typename T>
void destroy_on_process_heap(T* object) noexcept {
  if (object == nullptr) return;
  object->~T();
  platform::process_heap_release(object);
}

}  // namespace pelmark::profiler
