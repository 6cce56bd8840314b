#pragma once
// The allocation-failure abort: a refused memory request ends the process.
// It is never an error value.

#include <cstddef>

namespace platform {

// Writes "memory allocation of <size> bytes with alignment <alignment> failed"
// to standard error without allocating, then aborts the process.
[[noreturn]] void report_allocation_failure(std::size_t size, std::size_t alignment) noexcept;

}  // namespace platform
