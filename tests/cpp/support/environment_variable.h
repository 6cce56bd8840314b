#pragma once
// Setting this process's environment variables from tests: setenv/unsetenv
// where they exist, _putenv_s on Windows (which also updates the block that
// GetEnvironmentVariableA reads). Windows cannot hold an empty value this
// way: setting "" removes the variable there.

#include <cstdlib>

namespace test_support {

inline void set_environment_variable(const char* name, const char* value) {
#if defined(_WIN32)
  _putenv_s(name, value);
#else
  setenv(name, value, 1);
#endif
}

inline void unset_environment_variable(const char* name) {
#if defined(_WIN32)
  _putenv_s(name, "");
#else
  unsetenv(name);
#endif
}

}  // namespace test_support
