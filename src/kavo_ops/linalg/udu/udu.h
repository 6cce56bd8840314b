#pragma once
// Pivot-free A = U * D * U^T of a symmetric float64 matrix: U unit upper
// triangular, D diagonal, eliminated from the last column to the first.
//
// Contract:
//  - Checks, in this order: square shape (ShapeMismatch lhs [rows, cols],
//    rhs [rows, rows]); "UDU input contains a non-finite value";
//    "UDU requires a symmetric matrix" when some |A[i][j] - A[j][i]| exceeds
//    1e-9 * M (M the largest input magnitude); then the pivots from the last
//    column backwards.
//  - Only the diagonal and the upper triangle enter the factorization; the
//    lower triangle is read by the symmetry test alone.
//  - A pivot with |p| <= 1e-12 * M (the zero matrix included) fails with
//    "UDU encountered a zero pivot (needs symmetric pivoting)". Negative
//    pivots are accepted. So is any matrix whose pivots stay above that
//    tolerance, but without pivoting the factor can grow without bound on
//    indefinite input: when it overflows, the pivot of the overflowing row
//    turns non-finite and fails with the same message rather than returning
//    infinities. Symmetric positive-definite input is backward stable.
//  - U comes back with an exact unit diagonal and exact zeros below it.
//
// Shape of the computation (unblocked, row-oriented; the mirror image of a
// right-to-left LDL^T):
//   for c = n-1 .. 0, q = n-1-c finished columns:
//     w[k] = U[c][c+1+k] * d[c+1+k]                       k < q
//     d[c] = A[c][c] - dot(U[c][c+1..n), w)
//     U[i][c] = (A[i][c] - dot(U[i][c+1..n), w)) / d[c]   i < c
// Every dot runs over a contiguous row segment of U, each with the dot
// slice kernel's bits. Four columns are computed per pass over the rows
// above them, the rows share each w through the register-held grouped dot
// (shared_operand_dots.h), and from udu_parallel_entries() entries on they
// are split into fixed parts over the executor. Cost n^3/6 multiply-adds;
// the input is read in place when it is row-major.

#include <cstdint>

#include "kavo/error/array_error.h"
#include "kavo/storage/buffer.h"
#include "kavo/view/owned_array.h"
#include "kavo/view/view.h"

namespace kavo_ops {

struct UduFactors {
  kavo::OwnedArray<double, 2> u;  // n x n, unit upper triangular
  kavo::Buffer<double> d;         // the diagonal of D
};

// Columns whose rows above hold at least this many finished entries
// (c * (n-1-c)) are computed on the executor.
std::uint64_t udu_parallel_entries();

kavo::Expected<UduFactors> udu_factor(const kavo::View<double, 2>& a,
                                      std::uint64_t parallel_entries = udu_parallel_entries());

}  // namespace kavo_ops
