#pragma once
// Where an arena gets its mappings. The process-wide arenas use the system;
// tests substitute a service that refuses on demand.

#include <cstddef>

namespace pelmark {

class MemoryService {
 public:
  virtual ~MemoryService() = default;
  virtual void* map(std::size_t bytes) noexcept = 0;               // null when refused
  virtual bool unmap(void* base, std::size_t bytes) noexcept = 0;  // whole mapping
  virtual bool decommit(void* address, std::size_t bytes) noexcept = 0;
};

// The operating system's mappings (platform/virtual_memory.h).
MemoryService& system_memory() noexcept;

}  // namespace pelmark
