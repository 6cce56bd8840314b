#pragma once
// KAVO_NUM_THREADS: the number of workers of the process-wide executor,
// read once when it is created.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace drovek {

inline constexpr const char* kThreadCountVariable = "KAVO_NUM_THREADS";

// The most workers the variable may ask for; a larger value is ignored.
inline constexpr std::uint64_t kMaxThreadCountSetting = 1024;

// A positive decimal integer (surrounding spaces and tabs allowed, nothing
// else: no sign, no fraction) up to kMaxThreadCountSetting; anything else,
// zero included, gives std::nullopt so the default is kept.
std::optional<std::uint64_t> parse_thread_count(std::string_view text) noexcept;

// The line that says `text` was ignored and how many workers the pool gets:
// KAVO_NUM_THREADS="two" ignored: not a whole number from 1 to 1024; using 2 worker threads
std::string ignored_thread_count_message(std::string_view text, std::uint64_t workers);

}  // namespace drovek
