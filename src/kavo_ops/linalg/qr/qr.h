#pragma once
// Householder QR, A = Q * R, of an m x n float64 matrix with m >= n
// (LAPACK dgeqrf / dorgqr in purpose, not in code).
//
// Contract:
//  - Q is the full m x m orthogonal factor, R is m x n with exact zeros below
//    the diagonal and in rows n.. m-1. Every column gets a reflector, the
//    last of a square matrix included, and no sign normalisation is
//    applied: R[k][k] is negative where the entry it replaces is positive.
//  - Non-finite input fails first ("QR input contains a non-finite value");
//    m < n fails before that with ShapeMismatch lhs [m, n], rhs [n, n]. A
//    column left exactly zero from its diagonal down fails with "QR pivot
//    column {k} has zero norm: matrix is rank-deficient".
//  - A column whose largest entry lies outside [2^-480, 2^480] is scaled
//    by a power of two (exact) before its reflector is formed, so entries
//    near either end of the float64 range factor correctly; that column's
//    stored reflector is then the scaled one. Other columns are untouched.
//
// Shape of the computation:
//  - below `blocked_from` columns the matrix is one panel: column k's
//    reflector is applied at once to columns k+1.. n-1, row segment by row
//    segment (axpy over rows);
//  - from `blocked_from` on, panels of `panel_width` columns; the panel's
//    reflectors become one block I - V T V^T applied to the columns right of
//    it with three matrix products;
//  - Q is formed from the identity by H_0 * (H_1 * ... (H_{p-1} * I)),
//    per element the plain loop over reflectors k = p-1 .. 0, run over
//    column blocks of Q in parallel with the same bits; each reflector's
//    update sweep also forms the next one's column sums (reflect_and_sum.h).
// Cost about 4/3 n^3 flops for R and as much again for Q at m = n.

#include <cstdint>
#include <vector>

#include "kavo/error/array_error.h"
#include "kavo/view/owned_array.h"
#include "kavo/view/view.h"

namespace kavo_ops {

struct QrPanelPolicy {
  std::uint64_t blocked_from = 192;
  std::uint64_t panel_width = 32;
};

// The factored working copy: R on and above the diagonal, reflector k's
// entries 1.. below the diagonal of column k; its first entry and tau apart.
struct QrDecomposition {
  kavo::OwnedArray<double, 2> packed;
  std::vector<double> heads;
  std::vector<double> taus;
  std::uint64_t m = 0;
  std::uint64_t n = 0;
};

struct QrFactors {
  kavo::OwnedArray<double, 2> q;  // m x m
  kavo::OwnedArray<double, 2> r;  // m x n
};

kavo::Expected<QrDecomposition> qr_decompose(const kavo::View<double, 2>& a, QrPanelPolicy policy = {});

// Column k's own reflector, built in place over rows k.. m-1 and applied at
// once to columns (k, end): its first entry and tau go to head and tau,
// R[k][k] replaces A[k][k]. False, with nothing reflected, when the column
// is exactly zero from row k down.
bool qr_reflect_column(double* a, std::uint64_t m, std::uint64_t row_stride, std::uint64_t k,
                                       std::uint64_t end, double& head, double& tau);

kavo::OwnedArray<double, 2> qr_form_q(const QrDecomposition& qr);
kavo::OwnedArray<double, 2> qr_form_r(const QrDecomposition& qr);

kavo::Expected<QrFactors> qr_factors(const kavo::View<double, 2>& a, QrPanelPolicy policy = {});

}  // namespace kavo_ops
