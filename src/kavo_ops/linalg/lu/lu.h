#pragma once
// LU factorization with partial (row) pivoting, P * A = L * U, of a square
// float64 matrix, and the determinant, inverse and solve built on it
// (LAPACK dgetrf / dgetrs / dgetri in purpose, not in code).
//
// Contract:
//  - The factors come back in one owned row-major n x n array: L strictly
//    below the diagonal (its unit diagonal implied), U on and above it.
//    perm[i] is the input row that ends in row i, so (P b)[i] = b[perm[i]];
//    sign is +1 and flips at every actual row exchange.
//  - Pivot: the largest |A[i][j]| of the column, ties to the lowest row.
//    A column whose candidates are all exactly zero fails with "LU pivot
//    column {j} is exactly zero: matrix is singular". A tiny nonzero pivot
//    is accepted: no condition estimate, no growth check, so nearly singular
//    input gives large or infinite entries instead of an error.
//  - NaN or infinity anywhere in the input fails first ("LU input contains
//    a non-finite value"); a rectangular input fails before that with
//    ShapeMismatch lhs [rows, cols], rhs [rows, rows].
//
// Two paths, chosen by the matrix's size against the level-3 cache:
//  - column path (n * n * 8 <= level-3 bytes): per element, exactly the
//    plain right-looking loop
//        for j: for i > j: m = A[i][j] / A[j][j]; A[i][j+1..n) += -m * A[j][j+1..n)
//    (one fused multiply-add per eliminated column, ascending j); the loop
//    is run blocked for speed with the same bits (lu_eliminate.h).
//  - panel path (larger): panels of 64 columns; the panel's rows of U by
//    forward substitution (sum over the panel, then subtracted), the
//    trailing block by the matrix product, window += (-L21) * U12.
// Cost 2n^3/3 flops; solve 2n^2, inverse another 2n^3.

#include <cstdint>
#include <span>

#include "kavo/error/array_error.h"
#include "kavo/storage/buffer.h"
#include "kavo/view/owned_array.h"
#include "kavo/view/view.h"

namespace kavo_ops {

struct LuFactors {
  kavo::OwnedArray<double, 2> factors;  // L below, U on and above the diagonal
  kavo::Buffer<std::uint64_t> perm;     // input row of each factor row
  std::uint64_t n = 0;
  std::int8_t sign = 1;  // (-1)^(row exchanges)
};

// The process-wide level-3 cache size the path choice uses by default.
std::uint64_t lu_level3_bytes();

// Factors `a`; `level3_bytes` decides the path (tests force a small one).
kavo::Expected<LuFactors> lu_decompose(const kavo::View<double, 2>& a, std::uint64_t level3_bytes = lu_level3_bytes());

// lu_decompose of a matrix the caller hands over (row-major, C-contiguous,
// square): factored in its own storage instead of a copy, the same bits.
kavo::Expected<LuFactors> lu_decompose_owned(kavo::OwnedArray<double, 2> a,
                                             std::uint64_t level3_bytes = lu_level3_bytes());

// Overwrites x, which holds P b and is at least n long, with the solution of
// A x = b: forward substitution with unit L, then back substitution with U,
// each row one dot product. A shorter x is an internal invariant failure.
void lu_solve_in_place(const LuFactors& lu, std::span<double> x);

// Solution of A x = b. Factorization errors come first; then ShapeMismatch
// lhs [len(b)], rhs [n] for a b of the wrong length. b is not screened.
kavo::Expected<kavo::Buffer<double>> lu_solve(const kavo::View<double, 2>& a, const kavo::View<double, 1>& b);

// A^-1, column c the solution of A x = e_c by lu_solve_in_place's
// arithmetic (bit for bit), solved a group of columns at a time.
kavo::Expected<kavo::OwnedArray<double, 2>> lu_inverse(const kavo::View<double, 2>& a);

// The same inverse from factors already made, written row-major into `out`
// (n * n entries, every one overwritten).
void lu_inverse_into(const LuFactors& lu, double* out);

// sign * prod U[i][i] in index order, unscaled (may overflow or underflow).
// A matrix the factorization finds singular has determinant +0.0.
kavo::Expected<double> lu_determinant(const kavo::View<double, 2>& a);

}  // namespace kavo_ops
