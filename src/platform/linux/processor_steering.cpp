#include "platform/processor_steering.h"

#include <sched.h>

#include <cstddef>

namespace platform {
namespace {

// Room for processor ids below 4096 (ids beyond are never steered off); the
// kernel accepts any mask size that covers its own processors.
struct ProcessorSet {
  cpu_set_t words[4];
  static constexpr std::size_t kBytes = sizeof(words);
  static constexpr std::size_t kProcessors = kBytes * 8;
  cpu_set_t* get() noexcept { return words; }
};

// The affinity the thread had before its first steering, kept while steered.
struct SteeringState {
  ProcessorSet before;
  bool steered = false;
};

thread_local SteeringState steering;

}  // namespace

std::optional<std::uint32_t> current_processor_id() noexcept {
  const int processor = sched_getcpu();
  if (processor < 0) return std::nullopt;
  return static_cast<std::uint32_t>(processor);
}

bool steer_current_thread_off(std::uint32_t processor) noexcept {
  if (processor >= ProcessorSet::kProcessors) return false;
  constexpr std::size_t bytes = ProcessorSet::kBytes;
  if (!steering.steered) {
    CPU_ZERO_S(bytes, steering.before.get());
    if (sched_getaffinity(0, bytes, steering.before.get()) != 0) return false;
  }
  ProcessorSet narrowed = steering.before;
  CPU_CLR_S(processor, bytes, narrowed.get());
  if (CPU_COUNT_S(bytes, narrowed.get()) == 0 || sched_setaffinity(0, bytes, narrowed.get()) != 0) return false;
  steering.steered = true;
  return true;
}

void end_current_thread_steering() noexcept {
  if (!steering.steered) return;
  // On refusal the thread stays steered and the next call tries again.
  if (sched_setaffinity(0, ProcessorSet::kBytes, steering.before.get()) == 0) steering.steered = false;
}

}  // namespace platform
