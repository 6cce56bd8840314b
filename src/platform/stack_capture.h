#pragma once
// The calling thread's call stack as raw return addresses, innermost first.
// The first address is the capture point inside capture_stack itself, the
// next one is in its caller.

#include <cstddef>
#include <cstdint>
#include <span>

namespace platform {

// Fills `frames` with up to frames.size() return addresses and returns how
// many it wrote (at least 1 when `frames` is not empty). The walk stops at
// the first frame without unwind information (not recorded), at a zero
// address, or when a step moves neither the address nor the stack pointer.
// Walks are serialised by one process-wide lock, which a thread already
// holding it (a nested capture) does not take again. Never allocates from
// the process's own allocator.
std::size_t capture_stack(std::span<std::uintptr_t> frames) noexcept;

}  // namespace platform
