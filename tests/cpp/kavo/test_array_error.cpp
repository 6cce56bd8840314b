#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "kavo/error/array_error.h"
#include "kavo/error/float_text.h"

namespace kavo {
namespace {

struct MessageCase {
  ArrayError error;
  std::string display;
  std::string debug;
};

TEST(ArrayError, DisplayAndDebugTextsOfEveryVariant) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<MessageCase> cases = {
      {OutOfBounds{{1, 3}, {2, 3}}, "Index out of bounds: index [1, 3], shape [2, 3]",
       "OutOfBounds { index: [1, 3], shape: [2, 3] }"},
      {OutOfBounds{{}, {2}}, "Index out of bounds: index [], shape [2]",
       "OutOfBounds { index: [], shape: [2] }"},
      {IncompatibleSlice{{2, 7}, {5}}, "Incompatible slice: range (2, 7), shape [5]",
       "IncompatibleSlice { range: (2, 7), shape: [5] }"},
      {ShapeMismatch{{3}, {4}}, "Shape mismatch: lhs [3], rhs [4]", "ShapeMismatch { lhs: [3], rhs: [4] }"},
      {IncompatibleBroadcast{{2, 3}, {3, 3}}, "Incompatible broadcast: from [2, 3] to [3, 3]",
       "IncompatibleBroadcast { from: [2, 3], to: [3, 3] }"},
      {Overflow{"layout shape product"}, "Arithmetic overflow in layout calculations: layout shape product",
       "Overflow { reason: \"layout shape product\" }"},
      {StorageError{"say \"hi\"\n"}, "Storage error: say \"hi\"\n",
       "StorageError { reason: \"say \\\"hi\\\"\\n\" }"},
      {ConvergenceError{30, 0.25, 1e-12},
       "Solver did not converge after 30 iterations (residual 0.25, tolerance 0.000000000001)",
       "ConvergenceError { max_iters: 30, residual: 0.25, tol: 1e-12 }"},
      {ConvergenceError{1, 3.0, -INFINITY}, "Solver did not converge after 1 iterations (residual 3, tolerance -inf)",
       "ConvergenceError { max_iters: 1, residual: 3.0, tol: -inf }"},
      {ConvergenceError{0, nan, 1e20},
       "Solver did not converge after 0 iterations (residual NaN, tolerance 100000000000000000000)",
       "ConvergenceError { max_iters: 0, residual: NaN, tol: 1e20 }"},
      {CountRange{{5, "u32"}}, "Element count conversion failed",
       "CountRange(CountRangeError { count: 5, target: \"u32\" })"},
      {InvalidInput{"x"}, "Invalid input: x", "InvalidInput(\"x\")"},
      {NumericalBreakdown{"y"}, "Numerical breakdown: y", "NumericalBreakdown(\"y\")"},
      {NotPositiveDefinite{"z"}, "Matrix is not positive definite: z", "NotPositiveDefinite { detail: \"z\" }"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.error.display(), c.display);
    EXPECT_EQ(c.error.debug(), c.debug);
  }
}

TEST(ArrayError, TagsFollowVariantOrder) {
  EXPECT_EQ(ArrayError(OutOfBounds{}).tag(), 0u);
  EXPECT_EQ(ArrayError(Overflow{"x"}).tag(), 4u);
  EXPECT_EQ(ArrayError(NotPositiveDefinite{}).tag(), 10u);
}

TEST(ArrayError, FailureKindIsTheTagNeverTheText) {
  struct Case {
    ArrayError error;
    FailureKind kind;
  };
  const Case cases[] = {
      // A text that reads like a numerical failure does not make one.
      {StorageError{"LU pivot column 1 is exactly zero: matrix is singular"}, FailureKind::unclassified},
      {StorageError{"bidiagonal SVD QR failed to converge"}, FailureKind::unclassified},
      {InvalidInput{"input is not symmetric"}, FailureKind::unclassified},
      // The tag decides, whatever the text.
      {StorageError{"reworded", FailureKind::singular_pivot}, FailureKind::singular_pivot},
      {StorageError{"", FailureKind::no_convergence}, FailureKind::no_convergence},
      {InvalidInput{"x", FailureKind::asymmetric_input}, FailureKind::asymmetric_input},
      // These variants are a numerical failure by what they are.
      {ConvergenceError{30, 0.25, 1e-12}, FailureKind::no_convergence},
      {NumericalBreakdown{"y"}, FailureKind::breakdown},
      {NotPositiveDefinite{"z"}, FailureKind::non_positive_pivot},
      {ShapeMismatch{{3}, {4}}, FailureKind::unclassified},
      {Overflow{"layout shape product"}, FailureKind::unclassified},
  };
  for (const auto& c : cases) EXPECT_EQ(c.error.failure_kind(), c.kind) << c.error.debug();
  // The tag never shows in the texts.
  EXPECT_EQ(ArrayError(StorageError{"r", FailureKind::zero_pivot}).display(), "Storage error: r");
  EXPECT_EQ(ArrayError(StorageError{"r", FailureKind::zero_pivot}).debug(), "StorageError { reason: \"r\" }");
}

TEST(FailureKind, NumericalFailuresAreTheMethodsNotTheInputs) {
  const std::pair<FailureKind, bool> kinds[] = {
      {FailureKind::unclassified, false},        {FailureKind::non_finite_input, false},
      {FailureKind::asymmetric_input, false},    {FailureKind::singular_pivot, true},
      {FailureKind::non_positive_pivot, true},   {FailureKind::zero_norm_column, true},
      {FailureKind::zero_pivot, true},           {FailureKind::singular_block_pivot, true},
      {FailureKind::no_convergence, true},       {FailureKind::breakdown, true},
  };
  for (auto [kind, numerical] : kinds) EXPECT_EQ(is_numerical_failure(kind), numerical) << static_cast<int>(kind);
}

TEST(FloatText, PlainAndDebugForms) {
  struct Case {
    double value;
    const char* plain;
    const char* debug;
  };
  const Case cases[] = {
      {0.0, "0", "0.0"},         {-0.0, "-0", "-0.0"},       {0.5, "0.5", "0.5"},
      {64.0, "64", "64.0"},      {1e-12, "0.000000000001", "1e-12"},
      {1.5e-5, "0.000015", "1.5e-5"}, {1e-4, "0.0001", "0.0001"},
      {1e15, "1000000000000000", "1000000000000000.0"}, {1e16, "10000000000000000", "1e16"},
      {0.1, "0.1", "0.1"},       {INFINITY, "inf", "inf"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(plain_decimal(c.value), c.plain) << c.value;
    EXPECT_EQ(debug_decimal(c.value), c.debug) << c.value;
  }
  // The smallest subnormal has a long plain form that must still read back.
  std::string tiny = plain_decimal(std::numeric_limits<double>::denorm_min());
  EXPECT_EQ(std::strtod(tiny.c_str(), nullptr), std::numeric_limits<double>::denorm_min());
}

}  // namespace
}  // namespace kavo
