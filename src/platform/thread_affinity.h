#pragma once
// Binding the calling thread to one logical processor (Windows
// SetThreadGroupAffinity on GetCurrentThread(); pthread affinity on Linux).
// Processor ids are the topology probe's: group * 64 + number on Windows, the
// kernel's CPU number on Linux.

#include <cstdint>
#include <expected>

namespace platform {

// Success, or the operating system's error number when it refused.
std::expected<void, int> bind_current_thread_to_processor(std::uint32_t processor) noexcept;

}  // namespace platform
