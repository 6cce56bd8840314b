#pragma once
// Entry checks of the slice kernels. Callers always pass matching lengths, so
// a mismatch is an internal invariant failure; its message is the fixed text
// followed by both lengths.

#include <cstddef>
#include <source_location>

namespace kavo_ops {

[[noreturn]] void fail_length_mismatch(std::size_t left, std::size_t right, const char* message,
                                       std::source_location where);

inline void require_equal_lengths(std::size_t left, std::size_t right, const char* message,
                                  std::source_location where = std::source_location::current()) {
  if (left != right) fail_length_mismatch(left, right, message, where);
}

}  // namespace kavo_ops
