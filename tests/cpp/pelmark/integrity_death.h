#pragma once
// How a death test recognises the allocator's integrity trap: on Linux the
// trap instruction ends the process with SIGILL, unlike the SIGSEGV of a read of
// unmapped memory. Under AddressSanitizer a freed block is poisoned, so the
// sanitizer may report a double free first and exit with an error code.

#if defined(_WIN32)

namespace pelmark_test {

// On Windows the trap raises STATUS_ILLEGAL_INSTRUCTION, and the unhandled
// exception ends the process with that code (a read of unmapped memory ends
// it with STATUS_ACCESS_VIOLATION, 0xC0000005).
inline bool died_of_integrity_trap(int status) { return static_cast<unsigned>(status) == 0xC000001Du; }

}  // namespace pelmark_test

#else

#include <sys/wait.h>

#include <csignal>

namespace pelmark_test {

inline bool died_of_integrity_trap(int status) {
  if (WIFSIGNALED(status) && WTERMSIG(status) == SIGILL) return true;
#if defined(__SANITIZE_ADDRESS__)
  return WIFEXITED(status) && WEXITSTATUS(status) != 0;
#else
  return false;
#endif
}

}  // namespace pelmark_test

#endif
