#pragma once
// Steering a thread off one processor for a while. Some kernels (seen on
// virtual machines whose scheduler packs work onto few virtual processors)
// place a woken thread on the waker's processor even while another allowed
// processor is idle, and leave the two sharing it for milliseconds. A worker
// that finds itself on its caller's processor moves itself off it; it goes
// back to floating freely when it next goes idle. Processor ids are the
// topology probe's (group * 64 + number on Windows, the CPU number on Linux).

#include <cstdint>
#include <optional>

namespace platform {

// The processor the calling thread runs on now (Windows
// GetCurrentProcessorNumberEx, getcpu on Linux); nothing when unknown.
std::optional<std::uint32_t> current_processor_id() noexcept;

// Restricts the calling thread to the processors it could run on before it
// was first steered, except `processor`, which moves it off at once.
// False, with nothing changed, when no other processor would remain or the
// system refuses.
bool steer_current_thread_off(std::uint32_t processor) noexcept;

// Gives the calling thread back the processors it had before it was first
// steered; nothing happens when it is not steered.
void end_current_thread_steering() noexcept;

}  // namespace platform
