#pragma once
// LU with complete pivoting, P A Q = L U, for a square float64 matrix
// (the elimination of LAPACK's DGETC2, with a rank stop instead of DGETC2's
// perturbed pivots).
//
// Contract:
//  - A rectangular input fails with ShapeMismatch lhs [rows, cols],
//    rhs [rows, rows]; NaN or infinity anywhere with StorageError
//    "FullPivLU input contains a non-finite value". Nothing else is an error:
//    a singular or zero matrix simply stops early.
//  - Step k takes the entry of largest magnitude in the block rows k..n-1,
//    columns k..n-1 as the pivot; the first maximum in row-major order wins,
//    so (k, k) wins every tie. It stops when that magnitude is at most
//    t = 1e-12 * max|A| (the numerical rank is then k) and leaves the
//    remaining block as it stood, every entry at most t in magnitude. U
//    keeps that block's part on and above the diagonal; L is the identity
//    there, so the part below the diagonal is the one treated as zero.
//  - row_perm[i] is the input row that ends in row i, col_perm[j] the input
//    column that ends in column j: A[row_perm][:, col_perm] = L U up to
//    rounding, plus after an early stop the dropped entries (each <= t).
//    Scaling A by a power of two scales U and leaves L unchanged.
//  - L has an exact unit diagonal and exact zeros above it; U exact zeros
//    below its diagonal. The multipliers satisfy |L[i][j]| <= 1.
//
// Cost: n^3/3 multiply-adds (each one fused multiply-add, as the axpy slice
// kernel rounds it) and n^3/3 magnitude comparisons for the pivot searches.
// The search of step k+1 is fused into the update of step k
// (eliminate_row.h): each row's largest magnitude is found while the
// updated values are still in registers, so the trailing block is streamed
// once per step, not twice; the pivot's column is then looked up in the
// winning row only. Step k's column exchange is made in the same pass for
// the rows below the pivot; the finished rows above it take all their
// exchanges at the end. Rows are independent, so from a 256 x 256 block on
// each step's rows are split over the executor in fixed contiguous parts.
// The result is bit-identical to the entry-by-entry scan and update. Not
// blocked: the search needs the whole trailing block updated at every step,
// so large matrices are bound by cache bandwidth (bench/bench_full_piv_lu.py
// measures it against SciPy's blocked partial-pivoting LU).

#include <cstdint>

#include "kavo/error/array_error.h"
#include "kavo/storage/buffer.h"
#include "kavo/view/owned_array.h"
#include "kavo/view/view.h"

namespace kavo_ops {

// Pivots whose magnitude is at most this fraction of the largest input
// magnitude end the elimination.
inline constexpr double kFullPivRankTolerance = 1e-12;

// The elimination as it stands when it ends: multipliers below the diagonal
// and U on and above it, in one row-major n x n buffer.
struct FullPivElimination {
  std::uint64_t order = 0;
  kavo::Buffer<double> factors;
  kavo::Buffer<std::uint64_t> row_perm;
  kavo::Buffer<std::uint64_t> col_perm;
  std::uint64_t rank = 0;  // steps taken before the stop
  int sign = 1;            // (-1)^(row exchanges + column exchanges)
};

// Steps whose trailing block holds at least this many entries update its
// rows on the executor.
std::uint64_t full_piv_lu_parallel_entries();

kavo::Expected<FullPivElimination> full_piv_lu_decompose(const kavo::View<double, 2>& a,
                                                         std::uint64_t parallel_entries = full_piv_lu_parallel_entries());

struct FullPivLu {
  kavo::OwnedArray<double, 2> l;
  kavo::OwnedArray<double, 2> u;
  kavo::Buffer<std::uint64_t> row_perm;
  kavo::Buffer<std::uint64_t> col_perm;
};

// The elimination split into separate owned L and U.
kavo::Expected<FullPivLu> full_piv_lu(const kavo::View<double, 2>& a);

}  // namespace kavo_ops
