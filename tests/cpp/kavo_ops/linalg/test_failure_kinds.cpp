// Every failure a factorization or an input screen finds carries its kind,
// and the kind, not the text, decides what callers do with it: the module's
// exception class, and det's 0 for a singular matrix.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "kavo_ops/linalg/bunch_kaufman/bunch_kaufman.h"
#include "kavo_ops/linalg/bunch_kaufman/bunch_kaufman_steps.h"
#include "kavo_ops/linalg/cholesky/cholesky.h"
#include "kavo_ops/linalg/col_piv_qr/col_piv_qr.h"
#include "kavo_ops/linalg/full_piv_lu/full_piv_lu.h"
#include "kavo_ops/linalg/lu/lu.h"
#include "kavo_ops/linalg/matexp/matexp.h"
#include "kavo_ops/linalg/qr/qr.h"
#include "kavo_ops/linalg/svd/bidiagonal_qr/bidiagonal_qr.h"
#include "kavo_ops/linalg/svd/svd.h"
#include "kavo_ops/linalg/symmetric_eigen/symmetric_eigen.h"
#include "kavo_ops/linalg/udu/udu.h"

namespace kavo_ops {
namespace {

using kavo::FailureKind;

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

// Row-major matrices kept alive for the views the cases take of them.
struct Square {
  std::vector<double> values;
  std::uint64_t n;
  kavo::View<double, 2> view() const {
    return {values.data(), values.size(), {{n, n}, {static_cast<std::int64_t>(n), 1}, 0}};
  }
};

const Square kSingular{{1.0, 2.0, 2.0, 4.0}, 2};
const Square kIndefinite{{1.0, 2.0, 2.0, 1.0}, 2};
const Square kZero{{0.0, 0.0, 0.0, 0.0}, 2};
const Square kDependentColumns{{1.0, 1.0, 1.0, 1.0}, 2};
const Square kAsymmetric{{1.0, 2.0, 0.0, 1.0}, 2};
const Square kNotFinite{{1.0, kNan, kNan, 1.0}, 2};

template <class T>
kavo::ArrayError error_of(const kavo::Expected<T>& result) {
  EXPECT_FALSE(result.has_value());
  return result ? kavo::ArrayError(kavo::StorageError{"no error"}) : result.error();
}

struct Case {
  const char* label;
  std::function<kavo::ArrayError()> fail;
  FailureKind kind;
  std::string text;
};

std::vector<Case> cases() {
  return {
      {"LU", [] { return error_of(lu_decompose(kSingular.view())); }, FailureKind::singular_pivot,
       "Storage error: LU pivot column 1 is exactly zero: matrix is singular"},
      {"Cholesky", [] { return error_of(cholesky_factor(kIndefinite.view())); }, FailureKind::non_positive_pivot,
       "Storage error: Cholesky pivot 1 is non-positive: matrix is not positive-definite"},
      {"QR", [] { return error_of(qr_factors(kDependentColumns.view())); }, FailureKind::zero_norm_column,
       "Storage error: QR pivot column 1 has zero norm: matrix is rank-deficient"},
      {"UDU", [] { return error_of(udu_factor(kZero.view())); }, FailureKind::zero_pivot,
       "Storage error: UDU encountered a zero pivot (needs symmetric pivoting)"},
      {"Bunch-Kaufman 2x2", [] { return error_of(two_by_two_pivot(1.0, 1.0, 1.0)); },
       FailureKind::singular_block_pivot, "Storage error: Bunch-Kaufman encountered a singular 2x2 pivot"},
      {"bidiagonal QR",
       [] {
         std::vector<double> d = {4.0, 3.0, 2.0, 1.0, 0.5}, e = {1.0, 1.0, 1.0, 1.0};
         return error_of(bidiagonal_qr(d, e, nullptr, nullptr, 1));
       },
       FailureKind::no_convergence, "Storage error: bidiagonal SVD QR failed to converge"},
      {"LU screen", [] { return error_of(lu_decompose(kNotFinite.view())); }, FailureKind::non_finite_input,
       "Storage error: LU input contains a non-finite value"},
      {"ColPivQR screen", [] { return error_of(col_piv_qr(kNotFinite.view())); }, FailureKind::non_finite_input,
       "Storage error: ColPivQR input contains a non-finite value"},
      {"FullPivLU screen", [] { return error_of(full_piv_lu(kNotFinite.view())); }, FailureKind::non_finite_input,
       "Storage error: FullPivLU input contains a non-finite value"},
      {"SVD screen", [] { return error_of(svd(kNotFinite.view())); }, FailureKind::non_finite_input,
       "Storage error: SVD input contains a non-finite value"},
      {"matexp screen", [] { return error_of(matexp(kNotFinite.view())); }, FailureKind::non_finite_input,
       "Storage error: matrix exponential requires finite entries"},
      {"Jacobi screen, finite", [] { return error_of(symmetric_eigen(kNotFinite.view())); },
       FailureKind::non_finite_input, "Invalid input: symmetric eigensolver input has a non-finite entry at (0, 1)"},
      {"Jacobi screen, symmetric", [] { return error_of(symmetric_eigen(kAsymmetric.view())); },
       FailureKind::asymmetric_input, "Invalid input: symmetric eigensolver input is not symmetric at (0, 1)"},
      {"UDU screen", [] { return error_of(udu_factor(kAsymmetric.view())); }, FailureKind::asymmetric_input,
       "Storage error: UDU requires a symmetric matrix"},
      {"Bunch-Kaufman screen", [] { return error_of(bunch_kaufman_factor(kAsymmetric.view())); },
       FailureKind::asymmetric_input, "Storage error: Bunch-Kaufman requires a symmetric matrix"},
      {"square shape", [] { return error_of(lu_decompose({kSingular.values.data(), 4, {{1, 4}, {4, 1}, 0}})); },
       FailureKind::unclassified, "Shape mismatch: lhs [1, 4], rhs [1, 1]"},
  };
}

TEST(FailureKinds, EachFailureCarriesItsKindBesideAnUnchangedText) {
  for (const Case& c : cases()) {
    const kavo::ArrayError error = c.fail();
    EXPECT_EQ(error.failure_kind(), c.kind) << c.label;
    EXPECT_EQ(error.display(), c.text) << c.label;
  }
}

TEST(FailureKinds, DeterminantOfASingularMatrixIsZeroByKind) {
  auto singular = lu_determinant(kSingular.view());
  ASSERT_TRUE(singular.has_value());
  EXPECT_EQ(*singular, 0.0);
  EXPECT_FALSE(std::signbit(*singular));
  // Other failures of the factorization stay errors, whatever their text says.
  auto screened = lu_determinant(kNotFinite.view());
  ASSERT_FALSE(screened.has_value());
  EXPECT_EQ(screened.error().failure_kind(), FailureKind::non_finite_input);
}

}  // namespace
}  // namespace kavo_ops
