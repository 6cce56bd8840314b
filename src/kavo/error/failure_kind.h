#pragma once
// What an error reports beyond its text. The kind is set where the failure
// is found, so that callers decide by kind (which exception class, whether
// a singular matrix has determinant 0) and never by the wording, which is
// free to change.

#include <cstdint>

namespace kavo {

enum class FailureKind : std::uint8_t {
  // Not a failure of the arithmetic: the variant and its text say which
  // argument, shape, layout, size or range problem it is.
  unclassified,
  non_finite_input,  // a NaN or an infinity where every entry must be finite
  asymmetric_input,  // a matrix that must be symmetric is not
  // Numerical failures: a well-formed input whose values defeat the method.
  singular_pivot,        // LU: no pivot candidate in a column is nonzero
  non_positive_pivot,    // Cholesky: a pivot is not positive
  zero_norm_column,      // QR: a column depends exactly on the earlier ones
  zero_pivot,            // UDU: a pivot vanishes (there is no pivoting)
  singular_block_pivot,  // Bunch-Kaufman: a 2x2 pivot block is singular
  no_convergence,        // an iteration stops short of its tolerance
  breakdown,             // any other breakdown of a method
};

// True for the failures a well-formed input can meet because of its values.
constexpr bool is_numerical_failure(FailureKind kind) noexcept {
  switch (kind) {
    case FailureKind::unclassified:
    case FailureKind::non_finite_input:
    case FailureKind::asymmetric_input:
      return false;
    case FailureKind::singular_pivot:
    case FailureKind::non_positive_pivot:
    case FailureKind::zero_norm_column:
    case FailureKind::zero_pivot:
    case FailureKind::singular_block_pivot:
    case FailureKind::no_convergence:
    case FailureKind::breakdown:
      return true;
  }
  return false;
}

}  // namespace kavo
