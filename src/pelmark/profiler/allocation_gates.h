#pragma once
// The profiler's gates on the allocator's paths: one after every allocation
// that produced a block, one at the start of every release.

#include <cstddef>

namespace pelmark {

// `block` is not null; `requested` is the size asked for, before rounding.
inline void gate_allocation(void* block, std::size_t requested) noexcept {
  (void)block;
  (void)requested;
}

// Before `address` (not null) is released.
inline void gate_release(void* address) noexcept { (void)address; }

}  // namespace pelmark
