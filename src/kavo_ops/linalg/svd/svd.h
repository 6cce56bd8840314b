#pragma once
// Singular value decomposition A = U diag(S) V^T of an m x n float64 matrix
// by Golub–Kahan bidiagonalization and implicit bidiagonal QR (LAPACK
// dgesvd's path in purpose: dgebrd + dbdsqr).
//
// Contract:
//  - k = min(m, n); S holds the k singular values in non-increasing order,
//    all >= +0 (never -0); U is m x k and V is n x k, both with orthonormal
//    columns. A wide matrix is decomposed through its transpose.
//  - Empty input fails with ShapeMismatch lhs [m, n], rhs [max(m, 1),
//    max(n, 1)]; non-finite input with "SVD input contains a non-finite
//    value"; the scaling gate's Overflow refusals pass through; a QR that
//    exceeds its step budget fails with "bidiagonal SVD QR failed to
//    converge"; a value that overflows when scaled back fails with Overflow
//    "singular value exceeds the scalar range".
//  - The matrix runs through the SVD form of the scaling gate, so entries
//    near either end of the float64 range are decomposed on a copy scaled by
//    2^-s and the values multiplied back by 2^s.
//  - Singular values are accurate to about eps * ||A|| absolutely (the
//    reduction is normwise stable), relatively accurate for the bidiagonal.
//  - Equal values keep the order of the accumulated factors (stable sort).
//
// singular_values runs the values-only reduction (column-major, matrix-vector
// kernels) and never forms U or V; svd accumulates U and V in full (m x m,
// n x n) during the reduction, applies the QR rotations to their transposes
// and returns the first k columns. Costs: values about 4mn^2 - 4n^3/3 flops
// plus O(k^2); vectors add about 2m^3 + 2n^3 for the factors and about
// 6 (m + n) k^2 for the rotations.

#include "kavo/error/array_error.h"
#include "kavo/storage/buffer.h"
#include "kavo/view/owned_array.h"
#include "kavo/view/view.h"

namespace kavo_ops {

struct SvdFactors {
  kavo::OwnedArray<double, 2> u;  // m x k
  kavo::Buffer<double> s;         // k
  kavo::OwnedArray<double, 2> v;  // n x k
};

kavo::Expected<SvdFactors> svd(const kavo::View<double, 2>& a);

kavo::Expected<kavo::Buffer<double>> singular_values(const kavo::View<double, 2>& a);

}  // namespace kavo_ops
