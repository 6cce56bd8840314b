#include "drovek/executor/global_worker_count.h"

#include <algorithm>

namespace drovek {

bool global_worker_count_needs_probe(std::optional<std::uint64_t> setting,
                                     std::optional<std::uint64_t> allowed) noexcept {
  return !setting.has_value() && allowed.value_or(0) == 0;
}

std::uint64_t global_worker_count(std::optional<std::uint64_t> setting, std::optional<std::uint64_t> allowed,
                                  std::uint64_t probed) noexcept {
  std::uint64_t count = probed;
  if (setting) {
    count = *setting;
  } else if (allowed.value_or(0) != 0) {
    count = *allowed;
  }
  return std::max<std::uint64_t>(count, 1);
}

}  // namespace drovek
