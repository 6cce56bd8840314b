#pragma once
// Bunch-Kaufman factorization P * A * P^T = L * D * L^T of a symmetric,
// possibly indefinite float64 matrix: L unit lower triangular, D block
// diagonal with 1 x 1 and 2 x 2 blocks, symmetric pivoting by the partial
// pivoting rule of Bunch and Kaufman (1977) with alpha = (1 + sqrt 17) / 8,
// unblocked, in the manner of LAPACK's DSYTF2 (lower).
//
// Contract:
//  - Checks, in this order: square shape (ShapeMismatch lhs [rows, cols],
//    rhs [rows, rows]); "Bunch-Kaufman input contains a non-finite value";
//    "Bunch-Kaufman requires a symmetric matrix" when some
//    |A[i][j] - A[j][i]| exceeds 1e-9 * M (M the largest input magnitude).
//  - Only the diagonal and the lower triangle enter the factorization.
//  - permutation[i] is the input row and column that ends in position i:
//    A[perm][:, perm] = L * D * L^T. Pivot ties go to the lowest row.
//  - A zero column below the diagonal gives a 1 x 1 block without
//    multipliers, so singular input factors with zeros on D's diagonal.
//  - Not rank-revealing. Backward stable: the growth of the working matrix
//    is bounded by (2.57)^(n-1), in practice small. Entries of L in the
//    first column of a 2 x 2 block are bounded by rowmax / ((1 - alpha) *
//    colmax), the exact value; only when that ratio itself exceeds the
//    float64 range do they overflow.
//
// Departures from the textbook DSYTF2 loop, each for a fault it has:
//  - The pivot test is absakk >= alpha * colmax * (colmax / rowmax) rather
//    than alpha * colmax^2 <= absakk * rowmax: the squares under- and
//    overflow, accepting a zero pivot or refusing to pivot. A zero absakk
//    is never accepted when colmax > 0.
//  - The 2 x 2 multipliers are formed after dividing through by the
//    off-diagonal entry e (|e| = colmax > 0), so the determinant d*f - e*e,
//    which overflows above |e| ~ 1.3e154 and underflows below ~1e-162, is
//    never formed.
//  - The working matrix is kept exactly symmetric by storing one triangle:
//    the trailing update is computed once per (i, j), j <= i, from the
//    pivot column, and stands for both triangles. Updating the rows from
//    the pivot row while the multipliers come from the pivot column lets
//    the triangles drift apart (Hilbert(20): a backward error ~1e5 worse).
//
// Shape of the computation, step k (1 x 1 pivot; a 2 x 2 pivot runs two
// such updates from columns k and k+1):
//   c[j] = W[j][k]                     j > k, the pivot column copied once
//   L[i][k] = c[i] / W[k][k]
//   W[i][k+1..i] += (-L[i][k]) * c[k+1..i]   contiguous row, axpy kernel
// The next step's column search is made in the same pass, from the first
// entry each row's update writes; from bunch_kaufman_parallel_entries()
// entries on the rows go to the executor in fixed parts of equal work.
// Cost n^3/6 multiply-adds, O(n) strided reads per step for the
// interchange and the row search of a rejected diagonal.

#include <cstdint>

#include "kavo/error/array_error.h"
#include "kavo/storage/buffer.h"
#include "kavo/view/owned_array.h"
#include "kavo/view/view.h"

namespace kavo_ops {

struct BunchKaufmanFactors {
  kavo::OwnedArray<double, 2> l;            // n x n, unit lower triangular
  kavo::OwnedArray<double, 2> d;            // n x n, 1 x 1 and 2 x 2 blocks
  kavo::Buffer<std::uint64_t> permutation;  // n input positions
};

// Steps whose trailing triangle holds at least this many entries update
// its rows on the executor.
std::uint64_t bunch_kaufman_parallel_entries();

kavo::Expected<BunchKaufmanFactors> bunch_kaufman_factor(
    const kavo::View<double, 2>& a, std::uint64_t parallel_entries = bunch_kaufman_parallel_entries());

}  // namespace kavo_ops
