#pragma once
// All eigenvalues and an orthonormal set of eigenvectors of a real symmetric
// float64 matrix by the classical Jacobi method (Jacobi 1846; Golub & Van
// Loan, "Matrix Computations", section 8.5.2): every step annihilates the
// largest significant off-diagonal entry with one plane rotation whose angle
// comes from the arctangent formula.
//
// Contract:
//  - Square input only: ShapeMismatch lhs [m, n], rhs [m, m].
//  - The first non-finite entry in row-major order fails with
//    "symmetric eigensolver input has a non-finite entry at (i, j)".
//  - Symmetry is checked, not assumed: the first pair i < j with
//    |a_ij - a_ji| > (n + 2)·ε·‖A‖_F fails with "... is not symmetric at
//    (i, j)". The comparison is made in units of a power of two near the
//    largest entry, so it holds for every finite input even when ‖A‖_F
//    itself exceeds the largest double. Accepted input is made exactly
//    symmetric from its upper triangle.
//  - The matrix is scaled by a power of two (the symmetric scaling gate) so
//    the rotations stay finite, and the eigenvalues are scaled back;
//    one that overflows on the way back fails with Overflow.
//  - Values come back in non-decreasing order, stably (equal eigenvalues
//    keep the order of their columns in V); column j of the vectors is the
//    unit eigenvector of value j.
//  - Entry (i, j) is significant when |a_ij| > ε·max(√|a_ii|·√|a_jj|, ε‖A‖_F);
//    the iteration stops when none is (the relative criterion of Demmel &
//    Veselić 1992 with an absolute floor). At most 32·n² rotations, then
//    ConvergenceError.
//
// Costs: O(n) per rotation. The pivot search keeps each row's best entry and
// rescans only rows a rotation touched (jacobi_pivot.h); rotations update two
// contiguous rows of A, mirror them into the two columns, and rotate two rows
// of the transposed eigenvector matrix. Classical Jacobi takes a few times
// n²/2 rotations, so the whole solve is O(n³) with a larger constant than
// tridiagonal QR: it targets small and medium matrices.

#include "kavo/error/array_error.h"
#include "kavo/storage/buffer.h"
#include "kavo/view/owned_array.h"
#include "kavo/view/view.h"

namespace kavo_ops {

struct SymmetricEigen {
  kavo::Buffer<double> values;           // non-decreasing
  kavo::OwnedArray<double, 2> vectors;   // column j belongs to values[j]
};

kavo::Expected<SymmetricEigen> symmetric_eigen(const kavo::View<double, 2>& a);

}  // namespace kavo_ops
