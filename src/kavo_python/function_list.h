#pragma once
// Every function of the module, once, in its published order: the order of
// __all__, and of the stubs, the README's table and docs/reference.md's
// index, which tests/python/test_function_lists.py holds to it.
//
//   X(name, required, shape rule, description, parameters...)
//
// name: the Python name and the entry point's (functions/*_functions.cpp);
// required: how many leading parameters have no default (the others default
// to None); shape rule: what the function needs of its arrays' shapes, the
// lead of the note a shape error carries ("" when any shape goes);
// description: the docstring after its signature line ("" for none);
// parameters: the parameter names, at most kMaxParameters.
//
// signatures.h, functions/function_entries.h and function_table.cpp expand
// it into the argument signatures, the entry declarations and the method
// table. The rules' texts are the kShapeRule* constants below.

namespace kavo_python {

inline constexpr const char* kShapeRuleElementwise =
    "b must have a's shape, or extent 1 on an axis to repeat it along (only b is broadcast: the result has a's "
    "shape)";
inline constexpr const char* kShapeRuleSameLength = "a and b must have the same length";
inline constexpr const char* kShapeRuleMatmul = "a's column count must equal b's row count: (m, k) and (k, n)";
inline constexpr const char* kShapeRuleBatched =
    "a's last extent must equal b's middle one, (batch, m, k) and (batch, k, n), and the batch extents must be "
    "equal or 1";
inline constexpr const char* kShapeRuleRank = "a must have 1 to 6 dimensions";
inline constexpr const char* kShapeRuleSquare = "a must be square";
inline constexpr const char* kShapeRuleSolve = "a must be square and b must have one entry per row of a";
inline constexpr const char* kShapeRuleTall = "a must have at least as many rows as columns";
inline constexpr const char* kShapeRuleNotEmpty = "a must have at least one row and one column";

}  // namespace kavo_python

#define KAVO_PYTHON_FUNCTIONS(X)                                                                        \
  X(add, 2, kShapeRuleElementwise, "", "a", "b")                                                        \
  X(sub, 2, kShapeRuleElementwise, "", "a", "b")                                                        \
  X(mul, 2, kShapeRuleElementwise, "", "a", "b")                                                        \
  X(div, 2, kShapeRuleElementwise, "", "a", "b")                                                        \
  X(dot, 2, kShapeRuleSameLength, "", "a", "b")                                                         \
  X(sum, 1, "", "", "a")                                                                                \
  X(matmul, 2, kShapeRuleMatmul, "", "a", "b")                                                          \
  X(batched_matmul, 2, kShapeRuleBatched,                                                               \
    "Batched matrix multiply over 3D arrays `[batch, m, k] @ [batch, k, n] -> [batch, m, n]`.\n"        \
    "A batch dimension of 1 on either operand broadcasts. Mirrors `numpy.matmul` on 3D inputs.",        \
    "a", "b")                                                                                           \
  X(sum_dyn, 1, kShapeRuleRank, "", "a")                                                                \
  X(det, 1, kShapeRuleSquare, "", "a")                                                                  \
  X(inv, 1, kShapeRuleSquare, "", "a")                                                                  \
  X(solve, 2, kShapeRuleSolve, "", "a", "b")                                                            \
  X(cholesky, 1, kShapeRuleSquare, "", "a")                                                             \
  X(cholesky_solve, 2, kShapeRuleSolve,                                                                 \
    "Solve `A x = b` for symmetric positive-definite `A` via its Cholesky factor.", "a", "b")           \
  X(cholesky_inv, 1, kShapeRuleSquare,                                                                  \
    "Inverse of a symmetric positive-definite matrix via its Cholesky factor.", "a")                    \
  X(qr, 1, kShapeRuleTall, "", "a")                                                                     \
  X(col_piv_qr, 1, "", "", "a")                                                                         \
  X(svd, 1, kShapeRuleNotEmpty, "", "a")                                                                \
  X(symmetric_eigen, 1, kShapeRuleSquare, "", "a")                                                      \
  X(singular_values, 1, kShapeRuleNotEmpty, "", "a")                                                    \
  X(norm, 1, "", "", "a", "ord")                                                                        \
  X(schur, 1, kShapeRuleSquare, "", "a")                                                                \
  X(bunch_kaufman, 1, kShapeRuleSquare, "", "a")                                                        \
  X(matexp, 1, kShapeRuleSquare, "", "a")                                                               \
  X(kron, 2, "", "", "a", "b")                                                                          \
  X(trace, 1, kShapeRuleSquare, "", "a")                                                                \
  X(hessenberg, 1, kShapeRuleSquare, "Hessenberg reduction `A = Q H Q\u1d40`. Returns `(Q, H)`.", "a")   \
  X(eigenvalues, 1, kShapeRuleSquare, "Eigenvalues of a general real matrix, returned as a complex vector.", \
    "a")                                                                                                \
  X(full_piv_lu, 1, kShapeRuleSquare, "Full-pivoting LU: returns `(L, U, row_perm, col_perm)`.", "a")   \
  X(udu, 1, kShapeRuleSquare,                                                                           \
    "Pivot-free `A = U D U\u1d40`. Returns `(U, d)` with `d` the diagonal of `D`.", "a")                \
  X(bidiagonalize, 1, kShapeRuleTall, "Bidiagonalization `A = U B V\u1d40`. Returns `(U, B, V)`.", "a")
