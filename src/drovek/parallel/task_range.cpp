#include "drovek/parallel/task_range.h"

#include <algorithm>

#include "platform/invariant_failure.h"

namespace drovek {

TaskRange task_range(std::size_t items, std::size_t parts, std::size_t part) {
  if (parts == 0) platform::fail_invariant("attempt to divide by zero");
  const std::size_t quotient = items / parts;
  const std::size_t remainder = items % parts;
  const std::size_t begin = part * quotient + std::min(remainder, part);
  return {begin, begin + quotient + (part < remainder ? 1 : 0)};
}

}  // namespace drovek
