#pragma once
// Work repeated step after step over a shrinking range (the trailing block
// of an elimination): the same contiguous part of the range goes to the
// same task at every step, so a part's data stays in the cache of the core
// that worked on it last, where handing out small chunks dynamically would
// move the block between cores at every step.

#include <algorithm>
#include <cstdint>

#include "kavo_ops/parallel/executor_loops.h"

namespace kavo_ops {

// How many parts a range of `count` items is worth: one per executor worker
// (at least one), fewer when the range holds fewer than `granule` items per part.
inline std::uint64_t fixed_part_count(std::uint64_t count, std::uint64_t granule) {
  const std::uint64_t workers = std::max<std::uint64_t>(executor_worker_count(), 1);
  return std::max<std::uint64_t>(std::min(workers, count / std::max<std::uint64_t>(granule, 1)), 1);
}

// Calls body(begin, end) for `parts` contiguous ranges covering [0, count),
// cut at multiples of `granule` (the last range takes the remainder) into
// near-equal shares, one range per task of the executor; with one part, on
// the calling thread.
template <class F>
void for_each_fixed_part(std::uint64_t count, std::uint64_t parts, std::uint64_t granule, F&& body) {
  granule = std::max<std::uint64_t>(granule, 1);
  const std::uint64_t units = count / granule + (count % granule != 0);
  parts = std::min(parts, units);
  if (parts <= 1) {
    if (count > 0) body(std::uint64_t{0}, count);
    return;
  }
  for_each_index(parts, [&](std::uint64_t part) {
    const std::uint64_t base = units / parts, extra = units % parts;
    const std::uint64_t first_unit = part * base + std::min(part, extra);
    const std::uint64_t begin = first_unit * granule;
    const std::uint64_t end = std::min(count, (first_unit + base + (part < extra ? 1 : 0)) * granule);
    body(begin, end);
  });
}

}  // namespace kavo_ops
