#include "platform/processor_steering.h"

#include <windows.h>

namespace platform {
namespace {

// The affinity the thread had before its first steering, kept while steered.
struct SteeringState {
  GROUP_AFFINITY before{};
  bool steered = false;
};

thread_local SteeringState steering;

}  // namespace

std::optional<std::uint32_t> current_processor_id() noexcept {
  PROCESSOR_NUMBER number{};
  GetCurrentProcessorNumberEx(&number);
  return static_cast<std::uint32_t>(number.Group) * 64 + number.Number;
}

bool steer_current_thread_off(std::uint32_t processor) noexcept {
  if (!steering.steered && GetThreadGroupAffinity(GetCurrentThread(), &steering.before) == 0) return false;
  // A thread runs within one group: only a processor of that group can be
  // taken out of its mask.
  if (processor / 64 != steering.before.Group) return false;
  GROUP_AFFINITY narrowed = steering.before;
  narrowed.Mask &= ~(KAFFINITY{1} << (processor % 64));
  if (narrowed.Mask == 0 || SetThreadGroupAffinity(GetCurrentThread(), &narrowed, nullptr) == 0) return false;
  steering.steered = true;
  return true;
}

void end_current_thread_steering() noexcept {
  if (!steering.steered) return;
  // On refusal the thread stays steered and the next call tries again.
  if (SetThreadGroupAffinity(GetCurrentThread(), &steering.before, nullptr) != 0) steering.steered = false;
}

}  // namespace platform
