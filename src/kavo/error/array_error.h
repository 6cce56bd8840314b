#pragma once
// ArrayError: the single error type of the array core and every numeric
// operation above it. Operations return std::expected<T, ArrayError>; at the
// Python boundary the Display text becomes a ValueError verbatim, so the
// message texts are part of the public interface.

#include <cstdint>
#include <expected>
#include <source_location>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "kavo/error/failure_kind.h"

namespace kavo {

using IndexList = std::vector<std::uint64_t>;

struct OutOfBounds {
  IndexList index;
  IndexList shape;
};
struct IncompatibleSlice {
  std::pair<std::uint64_t, std::uint64_t> range;
  IndexList shape;
};
struct ShapeMismatch {
  IndexList lhs;
  IndexList rhs;
};
struct IncompatibleBroadcast {
  IndexList from;
  IndexList to;
};
struct Overflow {
  std::string_view reason;  // always a static text naming the calculation
};
struct StorageError {
  std::string reason;
  FailureKind kind = FailureKind::unclassified;  // never part of the text
};
struct ConvergenceError {
  std::uint64_t max_iters = 0;
  double residual = 0.0;
  double tol = 0.0;
};
struct CountRangeError {
  std::uint64_t count = 0;
  std::string_view target;  // name of the integer type the count did not fit
};
struct CountRange {
  CountRangeError error;
};
struct InvalidInput {
  std::string text;
  FailureKind kind = FailureKind::unclassified;  // never part of the text
};
struct NumericalBreakdown {
  std::string text;
};
struct NotPositiveDefinite {
  std::string detail;
};

class ArrayError {
 public:
  // Alternatives in tag order 0..10.
  using Kind = std::variant<OutOfBounds, IncompatibleSlice, ShapeMismatch, IncompatibleBroadcast,
                            Overflow, StorageError, ConvergenceError, CountRange, InvalidInput,
                            NumericalBreakdown, NotPositiveDefinite>;

  template <class K>
    requires std::is_constructible_v<Kind, K&&>
  ArrayError(K&& kind) : kind_(std::forward<K>(kind)) {}

  std::size_t tag() const noexcept { return kind_.index(); }
  const Kind& kind() const noexcept { return kind_; }
  template <class K>
  const K* get_if() const noexcept {
    return std::get_if<K>(&kind_);
  }

  // The kind of failure: the StorageError's or InvalidInput's own; a
  // ConvergenceError, NumericalBreakdown or NotPositiveDefinite is one by
  // what it is; every other variant is unclassified.
  FailureKind failure_kind() const noexcept;

  // The message users see.
  std::string display() const;
  // Variant name and fields, for internal invariant failure messages only.
  std::string debug() const;

 private:
  Kind kind_;
};

template <class T>
using Expected = std::expected<T, ArrayError>;

inline std::unexpected<ArrayError> overflow(std::string_view reason) {
  return std::unexpected<ArrayError>(Overflow{reason});
}
inline std::unexpected<ArrayError> storage_error(std::string reason,
                                                 FailureKind kind = FailureKind::unclassified) {
  return std::unexpected<ArrayError>(StorageError{std::move(reason), kind});
}

// "[2, 3]": how shapes and indices print in messages.
std::string format_index_list(const IndexList& values);

// Unwraps a step whose failure validated input cannot cause; otherwise an
// internal invariant failure "<assertion>: <Debug form>".
[[noreturn]] void fail_with_error(const char* assertion, const ArrayError& error,
                                  std::source_location where);

template <class T>
T expect_valid(Expected<T>&& result, const char* assertion,
               std::source_location where = std::source_location::current()) {
  if (!result) fail_with_error(assertion, result.error(), where);
  if constexpr (!std::is_void_v<T>) return std::move(*result);
}

}  // namespace kavo
