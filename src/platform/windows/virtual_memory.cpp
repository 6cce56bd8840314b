#include "platform/virtual_memory.h"

#include <windows.h>

namespace platform {

void* map_memory(std::size_t bytes) noexcept {
  if (bytes == 0) return nullptr;
  return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

// MEM_RELEASE frees the whole reservation made at `base`; its size must be
// passed as 0.
bool unmap_memory(void* base, std::size_t) noexcept { return VirtualFree(base, 0, MEM_RELEASE) != 0; }

bool decommit_memory(void* address, std::size_t bytes) noexcept {
  return VirtualFree(address, bytes, MEM_DECOMMIT) != 0;
}

}  // namespace platform
