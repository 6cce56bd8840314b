#include "vendral/cache_policy.h"

#include <algorithm>
#include <optional>

namespace vendral {

CachePolicy summarize_caches(std::span<const CacheDescriptor> caches) {
  std::optional<std::uint64_t> smallest[3];
  std::optional<std::uint16_t> largest_line;
  for (const CacheDescriptor& cache : caches) {
    if (cache.level >= 1 && cache.level <= 3) {
      std::optional<std::uint64_t>& size = smallest[cache.level - 1];
      size = std::min(size.value_or(cache.size_bytes), cache.size_bytes);
    }
    if (cache.line_size) largest_line = std::max(largest_line.value_or(0), *cache.line_size);
  }
  CachePolicy policy;
  policy.l1_bytes = smallest[0].value_or(policy.l1_bytes);
  policy.l2_bytes = smallest[1].value_or(policy.l2_bytes);
  policy.l3_bytes = smallest[2].value_or(policy.l3_bytes);
  policy.line_bytes = largest_line.value_or(policy.line_bytes);
  return policy;
}

const CachePolicy& cache_policy() {
  // A function-local static is initialised exactly once even when several
  // threads arrive together; the others wait for the first to finish.
  static const CachePolicy policy = summarize_caches(probe_topology().caches);
  return policy;
}

}  // namespace vendral
