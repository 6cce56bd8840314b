#pragma once
// QR with column pivoting, A * P = Q * R, of any m x n float64 matrix
// (LAPACK dgeqp3 in purpose, not in code), stopping early once the best
// remaining column is negligible.
//
// Contract:
//  - perm[k] is the input column that ends in position k: A[:, perm[k]] is
//    column k of Q * R. Q is the full m x m orthogonal factor, R is m x n
//    with exact zeros below its diagonal. Pivot: the remaining column of
//    largest estimated norm, ties to the lowest index.
//  - The loop stops at step k (rank = k) when the true norm of the chosen
//    column from row k down is at most 1e-12 times the largest initial
//    column norm; columns k.. of R then keep their partly reduced values on
//    and above the diagonal. A rank-deficient or zero matrix is no error.
//  - Non-finite input fails with "ColPivQR input contains a non-finite
//    value". col_piv_qr first passes the input through the scaling gate, so
//    entries near either end of the float64 range are factored in a safe
//    scale: Q and perm are those of the scaled matrix, R is scaled back and
//    fails with Overflow "R entry exceeds the scalar range" if it leaves the
//    float64 range.
//
// Shape of the computation, per step k: shared Householder reflector of the
// pivot column (power-of-two scaled generation), applied from the left to
// the remaining columns; squared column norms downdated, recomputed when the
// estimate has lost accuracy (column_norms.h). Q = I * H_0 * H_1 * ... is
// applied from the right row by row, each row seeing the reflectors in step
// order exactly as if accumulated after every step, but done at the end a
// block of rows at a time so the block stays in cache. Cost about 4/3 n^3
// flops for R and 2 m^2 n for Q, all in row sweeps (axpy and dot kernels);
// sweeps over independent columns of R and rows of Q run in parallel with
// the same bits. The columns of R go to the executor in fixed parts, the
// same part to the same task at every step, so that each core keeps its
// part of the trailing block in its own cache (chunks handed out anew at
// every step moved the block between the cores and measured slower than
// one thread at n = 1000).

#include <cstdint>

#include "kavo/error/array_error.h"
#include "kavo/storage/buffer.h"
#include "kavo/view/owned_array.h"
#include "kavo/view/view.h"

namespace kavo_ops {

struct ColPivQr {
  kavo::OwnedArray<double, 2> q;     // m x m
  kavo::OwnedArray<double, 2> r;     // m x n
  kavo::Buffer<std::uint64_t> perm;  // n entries
  std::uint64_t rank = 0;
  std::uint64_t m = 0;
  std::uint64_t n = 0;
};

// The factorization of `a` as it is, without the scaling gate.
// Left sweeps of at least this many elements are split over the executor.
std::uint64_t col_piv_qr_parallel_sweep_elements();

kavo::Expected<ColPivQr> col_piv_qr_decompose(
    const kavo::View<double, 2>& a, std::uint64_t parallel_sweep_elements = col_piv_qr_parallel_sweep_elements());

// The scaling gate, the factorization, and R scaled back.
kavo::Expected<ColPivQr> col_piv_qr(const kavo::View<double, 2>& a);

}  // namespace kavo_ops
