#include "drovek/placement/thread_binder.h"

#include "platform/thread_affinity.h"

namespace drovek {

std::expected<void, ThreadBindError> bind_current_thread(std::uint32_t processor) {
  if (processor >= kBindableProcessorLimit) return std::unexpected(ThreadBindError::OutOfRange{});
  std::expected<void, int> bound = platform::bind_current_thread_to_processor(processor);
  if (!bound) return std::unexpected(ThreadBindError::Os{static_cast<std::int32_t>(bound.error())});
  return {};
}

}  // namespace drovek
