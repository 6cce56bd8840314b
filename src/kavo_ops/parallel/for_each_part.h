#pragma once
// Calls body(begin, end) for one contiguous part of [0, count) per thread a
// parallel call may use, the calling thread taking the first. Repeated calls
// over the same data hand each part to the same processor (the caller's
// stays on the caller, the other on the thread that wakes beside it), so a
// loop of many small parallel steps keeps each part in one core's cache,
// where dynamic chunks would move half the data between cores every step.
// A part no worker has started when the caller finishes its own runs on the
// caller (for_each_index), so a busy machine costs no waiting. Parts are at
// least `min_part` items; one part runs on the calling thread alone.

#include <algorithm>
#include <cstdint>

#include "kavo_ops/parallel/executor_loops.h"

namespace kavo_ops {

// How many parts for_each_part makes of `count` items.
inline std::uint64_t part_count(std::uint64_t count, std::uint64_t min_part) {
  const std::uint64_t most = min_part > 0 ? count / min_part : count;
  return std::min(std::max<std::uint64_t>(1, executor_worker_count()), std::max<std::uint64_t>(1, most));
}

// Part `part` of `parts` over [0, count): [begin, end).
struct PartRange {
  std::uint64_t begin, end;
};
inline PartRange part_range(std::uint64_t count, std::uint64_t parts, std::uint64_t part) {
  return {part * count / parts, (part + 1) * count / parts};
}

template <class F>
void for_each_part(std::uint64_t count, std::uint64_t min_part, F&& body) {
  const std::uint64_t parts = part_count(count, min_part);
  if (parts <= 1) {
    if (count > 0) body(std::uint64_t{0}, count);
    return;
  }
  for_each_index(parts, [&](std::uint64_t part) {
    const PartRange range = part_range(count, parts, part);
    body(range.begin, range.end);
  });
}

}  // namespace kavo_ops
