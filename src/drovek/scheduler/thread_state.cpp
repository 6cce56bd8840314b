#include "drovek/scheduler/thread_state.h"

namespace drovek {
namespace {
constinit thread_local ThreadState state{};
constinit thread_local unsigned char seed_byte = 0;
}  // namespace

ThreadState& this_thread_state() noexcept { return state; }

std::uint64_t next_victim_random() noexcept {
  std::uint64_t x = state.victim_random;
  if (x == 0) x = reinterpret_cast<std::uintptr_t>(&seed_byte);
  x ^= x << 13;
  x ^= x >> 7;
  x ^= x << 17;
  state.victim_random = x;
  return x;
}

}  // namespace drovek
