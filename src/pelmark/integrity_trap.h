#pragma once
// Corrupted allocator metadata (double frees, wild pointers, impossible
// tags) stops the process at once with a trap instruction: continuing would
// hand out the same memory twice, and unwinding could run more frees.

namespace pelmark {

[[noreturn, gnu::cold]] inline void integrity_trap() noexcept { __builtin_trap(); }

inline void check_integrity(bool condition) noexcept {
  if (!condition) [[unlikely]] integrity_trap();
}

}  // namespace pelmark
