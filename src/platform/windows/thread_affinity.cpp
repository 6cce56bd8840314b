#include "platform/thread_affinity.h"

#include <windows.h>

namespace platform {

std::expected<void, int> bind_current_thread_to_processor(std::uint32_t processor) noexcept {
  // Groups are numbered by a 16-bit value: larger ids name no processor.
  if (processor / 64 > 0xFFFF) return std::unexpected(static_cast<int>(ERROR_INVALID_PARAMETER));
  GROUP_AFFINITY affinity{};
  affinity.Mask = KAFFINITY{1} << (processor % 64);
  affinity.Group = static_cast<WORD>(processor / 64);
  if (SetThreadGroupAffinity(GetCurrentThread(), &affinity, nullptr) == 0) {
    return std::unexpected(static_cast<int>(GetLastError()));
  }
  return {};
}

}  // namespace platform
