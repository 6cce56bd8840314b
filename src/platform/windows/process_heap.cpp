#include "platform/process_heap.h"

#include <windows.h>

namespace platform {

// HeapAlloc on 64-bit Windows aligns every block to 16 bytes, enough for
// any scalar type.
void* process_heap_allocate(std::size_t size) noexcept {
  return HeapAlloc(GetProcessHeap(), 0, size == 0 ? 1 : size);
}

void process_heap_release(void* block) noexcept {
  if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}

}  // namespace platform
