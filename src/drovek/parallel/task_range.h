#pragma once
// Splitting N items into P contiguous parts whose sizes differ by at most
// one, the larger parts first: part t spans
// [t*floor(N/P) + min(N mod P, t), that + floor(N/P) + (t < N mod P)).
// Used for the parallel-for task split and by drivers that cut their own work.

#include <cstddef>

namespace drovek {

struct TaskRange {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::size_t size() const noexcept { return end - begin; }
  bool operator==(const TaskRange&) const = default;
};

// `parts` = 0 is an invariant failure ("attempt to divide by zero").
TaskRange task_range(std::size_t items, std::size_t parts, std::size_t part);

}  // namespace drovek
