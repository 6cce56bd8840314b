#pragma once
// The one exception type for internal invariant failures: states that
// validated input cannot reach. Numeric code never uses it for bad user input
// (that is an ArrayError value); the Python module turns it into
// PanicException and the parallel-for drivers catch it per task.

#include <exception>
#include <source_location>
#include <string>

namespace platform {

class InvariantFailure : public std::exception {
 public:
  InvariantFailure(std::string message, std::source_location where);

  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& message() const noexcept { return message_; }
  const std::source_location& where() const noexcept { return where_; }

 private:
  std::string message_;
  std::source_location where_;
};

[[noreturn]] void fail_invariant(std::string message,
                                 std::source_location where = std::source_location::current());

// Checks a condition the caller guarantees; the message names what broke.
inline void ensure(bool condition, const char* message,
                   std::source_location where = std::source_location::current()) {
  if (!condition) fail_invariant(message, where);
}

}  // namespace platform
