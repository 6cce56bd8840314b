#include "pelmark/memory_service.h"

#include "platform/virtual_memory.h"

namespace pelmark {

namespace {

class SystemMemory final : public MemoryService {
 public:
  void* map(std::size_t bytes) noexcept override { return platform::map_memory(bytes); }
  bool unmap(void* base, std::size_t bytes) noexcept override { return platform::unmap_memory(base, bytes); }
  bool decommit(void* address, std::size_t bytes) noexcept override {
    return platform::decommit_memory(address, bytes);
  }
};

}  // namespace

MemoryService& system_memory() noexcept {
  static SystemMemory service;  // stateless: safe to use after static destruction
  return service;
}

}  // namespace pelmark
