#pragma once
// How a death test recognises the allocator's integrity trap: the trap
// instruction ends the process with SIGILL, unlike the SIGSEGV of a read of
// unmapped memory. Under AddressSanitizer a freed block is poisoned, so the
// sanitizer may report a double free first and exit with an error code.

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
