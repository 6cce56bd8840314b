#pragma once
// The process environment (Windows GetEnvironmentVariable): settings that
// users give through variables such as KAVO_NUM_THREADS.

#include <optional>
#include <string>

namespace platform {

// The value of `name`, or std::nullopt when it is not set.
std::optional<std::string> environment_variable(const char* name);

}  // namespace platform
