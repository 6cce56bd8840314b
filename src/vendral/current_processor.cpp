#include "vendral/current_processor.h"

#include <cstdint>

namespace vendral {

std::optional<CurrentProcessor> current_processor_from(const platform::RunningProcessor& running) {
  const std::uint64_t id = std::uint64_t{running.group} * 64 + running.number;
  if (!running.node || id >= kMaxProcessorId || *running.node >= kMaxNodeId) return std::nullopt;
  return CurrentProcessor{.processor = static_cast<std::uint32_t>(id), .node = *running.node};
}

std::optional<CurrentProcessor> current_processor() {
  const std::optional<platform::RunningProcessor> running = platform::running_processor();
  if (!running) return std::nullopt;
  return current_processor_from(*running);
}

}  // namespace vendral
