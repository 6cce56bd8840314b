#pragma once
// Kronecker product C = A (x) B of two float64 matrices.
//
// Contract:
//  - A is p x q and B is r x s, each read through its own strides (any
//    layout). C is an owned row-major (p*r) x (q*s) array with
//    C[i*r + k][j*s + l] = A[i][j] * B[k][l].
//  - The output shape is checked before either operand is read, in this
//    order: p*r wrapping 64 bits ("kronecker output row count"), q*s wrapping
//    ("... column count"), a row or column count of 2^63 or more, which no
//    signed extent or stride can hold (same two reasons), then (p*r)*(q*s)
//    wrapping ("kronecker output element count"). All are Overflow errors.
//  - An empty result returns at once: operands with a zero extent are never
//    walked, however long their other extent.
//  - An entry of A equal to zero (either sign) is skipped, so its block stays
//    +0.0 even where B holds inf or NaN (numpy.kron would give NaN there, and
//    -0.0 for -0 * positive). Every other product is one IEEE multiply, bit
//    for bit what numpy.kron gives; nothing is screened for non-finite values.
//
// Shape of the computation (sequential):
//   gather B once into a dense r x s buffer (one memcpy if already row-major)
//   for each A[i][j] = x != 0, row-major:
//     for k < r: C[i*r + k][j*s .. j*s + s) = x * B[k][0 .. s)   // contiguous
// Cost p*q*r*s multiplies for a dense A, r*s per nonzero of a sparse one.
// Memory: the output plus one dense copy of B.

#include "kavo/error/array_error.h"
#include "kavo/view/owned_array.h"
#include "kavo/view/view.h"

namespace kavo_ops {

kavo::Expected<kavo::OwnedArray<double, 2>> kronecker(const kavo::View<double, 2>& a,
                                                      const kavo::View<double, 2>& b);

}  // namespace kavo_ops
