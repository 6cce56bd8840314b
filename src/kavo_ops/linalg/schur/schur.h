#pragma once
// Real Schur form A = Q·T·Qᵀ of a general real square matrix, and its
// eigenvalues, by the Francis implicit double-shift QR iteration on the
// Hessenberg form (LAPACK DLAHQR's scheme: small-subdiagonal deflation,
// exceptional shifts every 10 iterations, a relaxed deflation test after 19
// iterations on one block; 2×2 blocks standardized by DLANV2).
//
// Contract:
//  - The input must be square (ShapeMismatch lhs [m, n], rhs [m, m]) and
//    finite ("Hessenberg input contains a non-finite value"). Before the
//    reduction the Schur form of the scaling gate may refuse the matrix
//    (its Overflow texts) or scale it by 2^-s; results are scaled back,
//    failing with Overflow "Schur form entry exceeds the scalar range" /
//    "eigenvalue exceeds the scalar range" when they leave the float64 range.
//  - T is upper quasi-triangular: every 2×2 diagonal block holds a complex
//    pair and has equal diagonal entries and off-diagonal entries of
//    opposite signs; every other subdiagonal entry, and everything below
//    the subdiagonal, is exactly 0. Q is orthogonal.
//  - Eigenvalues are listed by the diagonal blocks of the final T, top to
//    bottom; a pair as (re, +im) then (re, -im).
//  - A block that needs more than 30·max(10, n) iterations fails with
//    ConvergenceError (residual: the smallest subdiagonal relative to its
//    neighbours, tol 2^-52). Not blocked and no aggressive early deflation:
//    about 10n³ flops for schur (T and Q), about 4n³ for eigenvalues,
//    which updates only the active block and never forms Q.

#include <complex>

#include "kavo/error/array_error.h"
#include "kavo/storage/buffer.h"
#include "kavo/view/owned_array.h"
#include "kavo/view/view.h"

namespace kavo_ops {

struct SchurFactors {
  kavo::OwnedArray<double, 2> q;
  kavo::OwnedArray<double, 2> t;
};

kavo::Expected<SchurFactors> schur_factors(const kavo::View<double, 2>& a);

kavo::Expected<kavo::Buffer<std::complex<double>>> schur_eigenvalues(const kavo::View<double, 2>& a);

}  // namespace kavo_ops
