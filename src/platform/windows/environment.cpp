#include "platform/environment.h"

#include <windows.h>

namespace platform {

std::optional<std::string> environment_variable(const char* name) {
  // The process environment block, as GetEnvironmentVariableA reads it; a
  // value longer than the buffer reports the size it needs, and the
  // environment may change between the two calls, hence the loop.
  std::string value(64, '\0');
  while (true) {
    SetLastError(ERROR_SUCCESS);
    const DWORD length = GetEnvironmentVariableA(name, value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) {
      // 0 is both "not set" and "set to the empty string".
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    if (length < value.size()) {
      value.resize(length);
      return value;
    }
    value.resize(length);  // the size needed, terminator included
  }
}

}  // namespace platform
