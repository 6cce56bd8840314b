#include "kavo/error/array_error.h"

#include "kavo/error/float_text.h"
#include "platform/debug_quoted.h"
#include "platform/invariant_failure.h"

namespace kavo {
namespace {

template <class... F>
struct Overloaded : F... {
  using F::operator()...;
};

std::string range_text(const std::pair<std::uint64_t, std::uint64_t>& range) {
  return "(" + std::to_string(range.first) + ", " + std::to_string(range.second) + ")";
}

}  // namespace

std::string format_index_list(const IndexList& values) {
  std::string out = "[";
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i) out += ", ";
    out += std::to_string(values[i]);
  }
  return out + "]";
}

FailureKind ArrayError::failure_kind() const noexcept {
  return std::visit(Overloaded{
                        [](const StorageError& e) { return e.kind; },
                        [](const InvalidInput& e) { return e.kind; },
                        [](const ConvergenceError&) { return FailureKind::no_convergence; },
                        [](const NumericalBreakdown&) { return FailureKind::breakdown; },
                        [](const NotPositiveDefinite&) { return FailureKind::non_positive_pivot; },
                        [](const auto&) { return FailureKind::unclassified; },
                    },
                    kind_);
}

std::string ArrayError::display() const {
  return std::visit(
      Overloaded{
          [](const OutOfBounds& e) {
            return "Index out of bounds: index " + format_index_list(e.index) + ", shape " +
                   format_index_list(e.shape);
          },
          [](const IncompatibleSlice& e) {
            return "Incompatible slice: range " + range_text(e.range) + ", shape " +
                   format_index_list(e.shape);
          },
          [](const ShapeMismatch& e) {
            return "Shape mismatch: lhs " + format_index_list(e.lhs) + ", rhs " +
                   format_index_list(e.rhs);
          },
          [](const IncompatibleBroadcast& e) {
            return "Incompatible broadcast: from " + format_index_list(e.from) + " to " +
                   format_index_list(e.to);
          },
          [](const Overflow& e) {
            return "Arithmetic overflow in layout calculations: " + std::string(e.reason);
          },
          [](const StorageError& e) { return "Storage error: " + e.reason; },
          [](const ConvergenceError& e) {
            return "Solver did not converge after " + std::to_string(e.max_iters) +
                   " iterations (residual " + plain_decimal(e.residual) + ", tolerance " +
                   plain_decimal(e.tol) + ")";
          },
          [](const CountRange&) { return std::string("Element count conversion failed"); },
          [](const InvalidInput& e) { return "Invalid input: " + e.text; },
          [](const NumericalBreakdown& e) { return "Numerical breakdown: " + e.text; },
          [](const NotPositiveDefinite& e) {
            return "Matrix is not positive definite: " + e.detail;
          },
      },
      kind_);
}

std::string ArrayError::debug() const {
  return std::visit(
      Overloaded{
          [](const OutOfBounds& e) {
            return "OutOfBounds { index: " + format_index_list(e.index) +
                   ", shape: " + format_index_list(e.shape) + " }";
          },
          [](const IncompatibleSlice& e) {
            return "IncompatibleSlice { range: " + range_text(e.range) +
                   ", shape: " + format_index_list(e.shape) + " }";
          },
          [](const ShapeMismatch& e) {
            return "ShapeMismatch { lhs: " + format_index_list(e.lhs) +
                   ", rhs: " + format_index_list(e.rhs) + " }";
          },
          [](const IncompatibleBroadcast& e) {
            return "IncompatibleBroadcast { from: " + format_index_list(e.from) +
                   ", to: " + format_index_list(e.to) + " }";
          },
          [](const Overflow& e) { return "Overflow { reason: " + platform::debug_quoted(e.reason) + " }"; },
          [](const StorageError& e) { return "StorageError { reason: " + platform::debug_quoted(e.reason) + " }"; },
          [](const ConvergenceError& e) {
            return "ConvergenceError { max_iters: " + std::to_string(e.max_iters) +
                   ", residual: " + debug_decimal(e.residual) + ", tol: " + debug_decimal(e.tol) +
                   " }";
          },
          [](const CountRange& e) {
            return "CountRange(CountRangeError { count: " + std::to_string(e.error.count) +
                   ", target: " + platform::debug_quoted(e.error.target) + " })";
          },
          [](const InvalidInput& e) { return "InvalidInput(" + platform::debug_quoted(e.text) + ")"; },
          [](const NumericalBreakdown& e) { return "NumericalBreakdown(" + platform::debug_quoted(e.text) + ")"; },
          [](const NotPositiveDefinite& e) {
            return "NotPositiveDefinite { detail: " + platform::debug_quoted(e.detail) + " }";
          },
      },
      kind_);
}

void fail_with_error(const char* assertion, const ArrayError& error, std::source_location where) {
  platform::fail_invariant(std::string(assertion) + ": " + error.debug(), where);
}

}  // namespace kavo
