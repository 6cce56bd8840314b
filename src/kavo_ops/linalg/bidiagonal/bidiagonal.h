#pragma once
// Golub–Kahan reduction of an m x n float64 matrix (m >= n) to upper
// bidiagonal form, A = U * B * V^T, by alternating Householder reflections
// from the left (zeroing column k below the diagonal) and from the right
// (zeroing row k right of the superdiagonal). LAPACK dgebd2 in purpose.
//
// Two forms:
//  - bidiagonalize: a row-major working copy; U (m x m) and V (n x n) are
//    accumulated from the identity, every reflector recorded and applied in
//    recorded order at the end (U = H_0 H_1 ..., V = G_0 G_1 ...).
//    All of U is formed even when a caller keeps n columns: each row takes
//    every reflector from the right, and a kept entry's update reads the
//    dot with the whole row, so the other columns cannot be dropped without
//    changing the rounding (forming only the kept columns means applying the
//    reflectors in reverse order from the left: a different sum per entry).
//    B has exact zeros off the diagonal and first superdiagonal; its
//    diagonal is not sign-normalised. Non-finite input fails with
//    "bidiagonalization input contains a non-finite value". A working copy
//    whose largest entry leaves [2^-900, 2^(1020 - ceil log2 m - ceil log2 n)]
//    is scaled by a power of two (exact) and B scaled back, so the products
//    of a reflector with a row stay finite for entries up to DBL_MAX.
//  - bidiagonal_values: a column-major working copy, reflectors generated in
//    place with their own power-of-two scaling, the updates as matrix-vector
//    products (fyrel gemv / gemv_transpose) and rank-one updates; returns
//    only the diagonal d and superdiagonal e (e[n-1] is 0). No non-finite
//    screen: its caller screens.
// Both fail with ShapeMismatch lhs [m, n], rhs [n, n] when m < n.
// Cost about 4mn^2 - 4n^3/3 flops for B; U and V add about 2m^3 + 2n^3.

#include <cstdint>
#include <vector>

#include "kavo/error/array_error.h"
#include "kavo_ops/linalg/bidiagonal/bidiagonal_step.h"
#include "kavo_ops/linalg/bidiagonal/reflector_batch.h"
#include "kavo/view/owned_array.h"
#include "kavo/view/view.h"

namespace kavo_ops {

struct BidiagonalFactors {
  kavo::OwnedArray<double, 2> u;  // m x m
  kavo::OwnedArray<double, 2> b;  // m x n
  kavo::OwnedArray<double, 2> v;  // n x n
};

struct BidiagonalValues {
  std::vector<double> d;  // n
  std::vector<double> e;  // n, e[n-1] unused
};

// How the accumulating form shares its work out (bidiagonal_step.h,
// reflector_batch.h); tests force small limits.
struct BidiagonalizeSplit {
  BidiagonalSplit step{};
  ReflectorBatchSplit factor{};
};

kavo::Expected<BidiagonalFactors> bidiagonalize(const kavo::View<double, 2>& a, const BidiagonalizeSplit& split = {});

// How the values-only form shares a step out. Steps whose trailing block
// has fewer than `parallel_elements` entries make the whole-block calls on
// the calling thread; larger ones take each side in slabs that stay in
// cache between the product and the update (`column_chunk` columns for the
// left reflector, `row_chunk` rows for the right one), one contiguous range
// of slabs per thread. Every entry sees the same operations either way:
// w[j] of the left side reads only column j, and w[i] of the right side
// only row i. The defaults were measured on two cores; tests force small ones.
struct BidiagonalValuesSplit {
  std::uint64_t parallel_elements = std::uint64_t{1} << 17;
  std::size_t column_chunk = 32;
  std::size_t row_chunk = 64;
};

kavo::Expected<BidiagonalValues> bidiagonal_values(const kavo::View<double, 2>& a,
                                                   const BidiagonalValuesSplit& split = {});

}  // namespace kavo_ops
