#include "platform/allocation_failure.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace platform {

void report_allocation_failure(std::size_t size, std::size_t alignment) noexcept {
  // The heap may be exhausted too: format on the stack and write directly.
  char text[160];
  const int length = std::snprintf(text, sizeof text,
                                   "memory allocation of %llu bytes with alignment %llu failed\n",
                                   static_cast<unsigned long long>(size),
                                   static_cast<unsigned long long>(alignment));
  if (length > 0) {
    const auto count = static_cast<std::size_t>(length) < sizeof text ? static_cast<DWORD>(length)
                                                                        : static_cast<DWORD>(sizeof text - 1);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, count, &written, nullptr);
  }
  std::abort();
}

}  // namespace platform
