#pragma once
// ThreadBindError: why a worker could not be bound to its planned logical
// processor.

#include <cstdint>
#include <string>
#include <utility>
#include <variant>

namespace drovek {

class ThreadBindError {
 public:
  // The target cannot bind threads at all (never produced on Linux or Windows).
  struct Unsupported {
    bool operator==(const Unsupported&) const = default;
  };
  // The processor id is 4,194,304 (65536 groups x 64) or more.
  struct OutOfRange {
    bool operator==(const OutOfRange&) const = default;
  };
  // The operating system refused; `code` is its error number.
  struct Os {
    std::int32_t code = 0;
    bool operator==(const Os&) const = default;
  };
  using Variant = std::variant<Unsupported, OutOfRange, Os>;

  template <class Alternative>
    requires std::is_constructible_v<Variant, Alternative&&>
  ThreadBindError(Alternative&& alternative) : value_(std::forward<Alternative>(alternative)) {}

  const Variant& variant() const noexcept { return value_; }
  bool operator==(const ThreadBindError&) const = default;

 private:
  Variant value_;
};

std::string display(const ThreadBindError& error);
std::string debug(const ThreadBindError& error);

}  // namespace drovek
