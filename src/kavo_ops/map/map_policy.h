#pragma once
// Size rules of the elementwise map, from the process-wide cache policy:
// maps touching more bytes (two 4-byte reads and one 4-byte write per
// element) than the last-level cache go parallel, and strided operands whose
// column stride spans a cache line are walked in T x T tiles, T = line / 4.

#include <cstdint>
#include <limits>

namespace kavo_ops {

// What the map charges per element, in the executor's cost units: the bytes
// it moves (two 4-byte reads, one 4-byte write). The parallel map cuts work
// into pieces of the executor's 65536-unit budget at this rate, the same
// 5461 elements as the executor's contiguous units.
inline constexpr std::uint64_t kMapCostPerElement = 12;

struct MapPolicy {
  std::uint64_t last_level_cache_bytes;
  std::uint64_t tile_edge;  // max() when the line size is unknown: never tile

  static MapPolicy from_cache_policy();

  bool parallel(std::uint64_t elements) const noexcept {
    std::uint64_t bytes = 0;
    if (__builtin_mul_overflow(elements, kMapCostPerElement, &bytes)) bytes = std::numeric_limits<std::uint64_t>::max();
    return bytes > last_level_cache_bytes;
  }
};

}  // namespace kavo_ops
