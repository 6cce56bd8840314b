#include "platform/virtual_memory.h"

#include <sys/mman.h>

namespace platform {

void* map_memory(std::size_t bytes) noexcept {
  if (bytes == 0) return nullptr;
  void* base = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return base == MAP_FAILED ? nullptr : base;
}

bool unmap_memory(void* base, std::size_t bytes) noexcept { return munmap(base, bytes) == 0; }

bool decommit_memory(void* address, std::size_t bytes) noexcept {
  // Windows MEM_DECOMMIT keeps the reservation but drops the pages and makes
  // them fault on access; PROT_NONE plus MADV_DONTNEED is the same on Linux.
  if (mprotect(address, bytes, PROT_NONE) != 0) return false;
  return madvise(address, bytes, MADV_DONTNEED) == 0;
}

}  // namespace platform
