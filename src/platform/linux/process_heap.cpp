#include "platform/process_heap.h"

#include <cstdlib>

namespace platform {

void* process_heap_allocate(std::size_t size) noexcept { return std::malloc(size == 0 ? 1 : size); }

void process_heap_release(void* block) noexcept { std::free(block); }

}  // namespace platform
