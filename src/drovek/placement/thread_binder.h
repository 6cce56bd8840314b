#pragma once
// Binding the calling thread to one logical processor.

#include <cstdint>
#include <expected>
#include <functional>

#include "drovek/error/thread_bind_error.h"

namespace drovek {

// Processor ids at or above this (65536 groups x 64) cannot be expressed as a
// processor group affinity and are refused without a system call.
inline constexpr std::uint32_t kBindableProcessorLimit = 4'194'304;

using ThreadBinder = std::function<std::expected<void, ThreadBindError>(std::uint32_t processor)>;

// OutOfRange for ids of 4,194,304 and above; otherwise the platform binding,
// whose refusal becomes Os { code: error number }.
std::expected<void, ThreadBindError> bind_current_thread(std::uint32_t processor);

}  // namespace drovek
