#pragma once
// The NUMA node of the calling thread, as a pool index 0..15. Cached per
// thread; pool searches call note_pool_miss when the cached node's pool was
// empty, and every 32nd miss re-reads the node in case the thread moved.

#include <cstdint>

namespace pelmark {

std::uint32_t thread_node() noexcept;

// Counts a miss; on every 32nd re-reads the node and returns it (it may be
// unchanged). Otherwise returns the cached node.
std::uint32_t note_pool_miss() noexcept;

// Node of processor information as the pools use it: node 0 when the query
// failed or the processor or node number is out of the recorded range.
std::uint32_t pool_node_from(bool known, std::uint32_t processor, std::uint32_t node) noexcept;

}  // namespace pelmark
