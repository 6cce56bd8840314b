#include "platform/allocation_failure.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace platform {

void report_allocation_failure(std::size_t size, std::size_t alignment) noexcept {
  // The heap may be exhausted too: format on the stack and write directly.
  char text[160];
  const int length = std::snprintf(text, sizeof text,
                                   "memory allocation of %zu bytes with alignment %zu failed\n",
                                   size, alignment);
  if (length > 0) {
    const auto count = static_cast<std::size_t>(length) < sizeof text ? static_cast<std::size_t>(length)
                                                                        : sizeof text - 1;
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, text, count);
  }
  std::abort();
}

}  // namespace platform
