#include "pelmark/thread_node.h"

#include "pelmark/segment_geometry.h"
#include "vendral/topology.h"

namespace pelmark {

namespace {

// Re-reading the node costs a system query; a thread that keeps missing its
// pool is probably on another node now, and 32 misses amortise the query.
constexpr std::uint32_t kMissesPerNodeRefresh = 32;

struct NodeCache {
  bool known = false;
  std::uint32_t node = 0;
  std::uint32_t misses = 0;
};

constinit thread_local NodeCache t_node_cache;

std::uint32_t query_node() noexcept {
  const auto current = vendral::current_processor();
  if (!current) return 0;
  return pool_node_from(true, current->processor, current->node);
}

}  // namespace

std::uint32_t pool_node_from(bool known, std::uint32_t processor, std::uint32_t node) noexcept {
  if (!known || processor >= vendral::kMaxProcessorId || node >= vendral::kMaxNodeId) return 0;
  return node % kNodeSlots;
}

std::uint32_t thread_node() noexcept {
  NodeCache& cache = t_node_cache;
  if (!cache.known) {
    cache.node = query_node();
    cache.known = true;
  }
  return cache.node;
}

std::uint32_t note_pool_miss() noexcept {
  NodeCache& cache = t_node_cache;
  if (++cache.misses % kMissesPerNodeRefresh == 0) {
    cache.node = query_node();
    cache.known = true;
  }
  return thread_node();
}

}  // namespace pelmark
