#pragma once
// A per-process cap on how many threads one parallel call runs on, its
// calling thread included. It changes at run time (threadpoolctl sets it
// around a block of code, then restores it); the pool keeps its workers and
// a call just splits into fewer tasks. A call reads the cap once, when it
// splits, so calls already running keep their split. A child made by fork()
// inherits the parent's cap.

#include <cstddef>

namespace drovek {

// 0 lifts the cap.
void set_call_thread_limit(std::size_t threads) noexcept;

// The cap, 0 when there is none.
std::size_t call_thread_limit() noexcept;

// `threads` under the cap, at least 1.
std::size_t limit_call_threads(std::size_t threads) noexcept;

}  // namespace drovek
