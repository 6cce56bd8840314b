#pragma once
// Every function of the module, once, in its published order: the order of
// __all__, and of the stubs, the README's table and docs/reference.md's
// index, which tests/python/test_function_lists.py holds to it.
//
//   X(name, required, description, parameters...)
//
// name: the Python name and the entry point's (functions/*_functions.cpp);
// required: how many leading parameters have no default (the others default
// to None); description: the docstring after its signature line ("" for
// none); parameters: the parameter names, at most kMaxParameters.
//
// signatures.h, functions/function_entries.h and function_table.cpp expand
// it into the argument signatures, the entry declarations and the method
// table.

#define KAVO_PYTHON_FUNCTIONS(X)                                                                             \
  X(add, 2, "", "a", "b")                                                                                    \
  X(sub, 2, "", "a", "b")                                                                                    \
  X(mul, 2, "", "a", "b")                                                                                    \
  X(div, 2, "", "a", "b")                                                                                    \
  X(dot, 2, "", "a", "b")                                                                                    \
  X(sum, 1, "", "a")                                                                                         \
  X(matmul, 2, "", "a", "b")                                                                                 \
  X(batched_matmul, 2,                                                                                       \
    "Batched matrix multiply over 3D arrays `[batch, m, k] @ [batch, k, n] -> [batch, m, n]`.\n"             \
    "A batch dimension of 1 on either operand broadcasts. Mirrors `numpy.matmul` on 3D inputs.",             \
    "a", "b")                                                                                                \
  X(sum_dyn, 1, "", "a")                                                                                     \
  X(det, 1, "", "a")                                                                                         \
  X(inv, 1, "", "a")                                                                                         \
  X(solve, 2, "", "a", "b")                                                                                  \
  X(cholesky, 1, "", "a")                                                                                    \
  X(cholesky_solve, 2, "Solve `A x = b` for symmetric positive-definite `A` via its Cholesky factor.", "a", "b") \
  X(cholesky_inv, 1, "Inverse of a symmetric positive-definite matrix via its Cholesky factor.", "a")        \
  X(qr, 1, "", "a")                                                                                          \
  X(col_piv_qr, 1, "", "a")                                                                                  \
  X(svd, 1, "", "a")                                                                                         \
  X(symmetric_eigen, 1, "", "a")                                                                             \
  X(singular_values, 1, "", "a")                                                                             \
  X(norm, 1, "", "a", "ord")                                                                                 \
  X(schur, 1, "", "a")                                                                                       \
  X(bunch_kaufman, 1, "", "a")                                                                               \
  X(matexp, 1, "", "a")                                                                                      \
  X(kron, 2, "", "a", "b")                                                                                   \
  X(trace, 1, "", "a")                                                                                       \
  X(hessenberg, 1, "Hessenberg reduction `A = Q H Q\u1d40`. Returns `(Q, H)`.", "a")                          \
  X(eigenvalues, 1, "Eigenvalues of a general real matrix, returned as a complex vector.", "a")              \
  X(full_piv_lu, 1, "Full-pivoting LU: returns `(L, U, row_perm, col_perm)`.", "a")                          \
  X(udu, 1, "Pivot-free `A = U D U\u1d40`. Returns `(U, d)` with `d` the diagonal of `D`.", "a")              \
  X(bidiagonalize, 1, "Bidiagonalization `A = U B V\u1d40`. Returns `(U, B, V)`.", "a")
