#pragma once
// Cholesky factorization A = L * L^T of a symmetric positive-definite float64
// matrix, and the solves built on it.
//
// Contract:
//  - Only the diagonal and the lower triangle of A are read; symmetry is
//    assumed, never tested. The upper triangle still takes part in the
//    non-finite screen ("Cholesky input contains a non-finite value").
//  - L is returned as an owned row-major n x n array with exact zeros above
//    the diagonal and a positive diagonal.
//  - A diagonal candidate that is not greater than zero (zero, negative, or
//    NaN from an overflow inside L) fails with "Cholesky pivot {i} is
//    non-positive: matrix is not positive-definite", naming its row. Not
//    rank-revealing: a semidefinite matrix fails at its first zero pivot.
//
// Shape of the computation (unblocked, sequential, row-oriented; each dot
// the dot slice kernel's bits, several rows' dots sharing a row of L):
//   for i = 0..n-1, for j = 0..i:
//     x = A[i][j] - dot(L[i][0..j), L[j][0..j))   // contiguous row segments
//     j < i: L[i][j] = x / L[j][j];  j = i: L[i][i] = sqrt(x)
// Cost n^3/3 multiply-adds. Solves cost 2n^2 and read column i of L with
// stride n on the backward sweep instead of forming L^T.

#include <cstdint>
#include <span>

#include "kavo/error/array_error.h"
#include "kavo/view/owned_array.h"
#include "kavo/view/view.h"

namespace kavo_ops {

kavo::Expected<kavo::OwnedArray<double, 2>> cholesky_factor(const kavo::View<double, 2>& a);

// Overwrites x (holding b, at least n long) with the solution of L L^T x = b.
void cholesky_solve_in_place(const kavo::OwnedArray<double, 2>& factor, std::span<double> x);

// Solution of A x = b; ShapeMismatch lhs [len(b)], rhs [n] for a b of the
// wrong length (checked after the factorization).
kavo::Expected<kavo::Buffer<double>> cholesky_solve(const kavo::View<double, 2>& a,
                                                    const kavo::View<double, 1>& b);

// A^-1 by n solves against the unit vectors; not symmetrized, so (i, j) and
// (j, i) may differ in the last bits. The factorization runs on the calling
// thread; the solves, in independent groups of right-hand sides, go to the
// executor from order `parallel_order` on (every column the lone solve's
// bits either way).
std::uint64_t cholesky_inverse_parallel_order();
kavo::Expected<kavo::OwnedArray<double, 2>> cholesky_inverse(
    const kavo::View<double, 2>& a, std::uint64_t parallel_order = cholesky_inverse_parallel_order());

}  // namespace kavo_ops
