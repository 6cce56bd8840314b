#include "kavo_ops/map/map_policy.h"

#include <algorithm>

#include "vendral/cache_policy.h"

namespace kavo_ops {

MapPolicy MapPolicy::from_cache_policy() {
  const vendral::CachePolicy& caches = vendral::cache_policy();
  std::uint64_t tile = caches.line_bytes == 0 ? std::numeric_limits<std::uint64_t>::max()
                                              : std::max<std::uint64_t>(caches.line_bytes / sizeof(float), 1);
  return {caches.l3_bytes, tile};
}

}  // namespace kavo_ops
