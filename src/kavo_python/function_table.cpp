#include "kavo_python/function_table.h"

#include <array>

#include "kavo_python/functions/function_entries.h"

namespace kavo_python {
namespace {

constexpr int kFlags = METH_FASTCALL | METH_KEYWORDS;

template <PyObject* (*Entry)(PyObject*, PyObject* const*, Py_ssize_t, PyObject*)>
PyCFunction as_method() {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(Entry));
}

#define KAVO_PYTHON_FUNCTION(name, doc) PyMethodDef{#name, as_method<entries::name>(), kFlags, doc}

std::array<PyMethodDef, 31> table = {
    KAVO_PYTHON_FUNCTION(add, "add(a, b)\n--\n\n"),
    KAVO_PYTHON_FUNCTION(sub, "sub(a, b)\n--\n\n"),
    KAVO_PYTHON_FUNCTION(mul, "mul(a, b)\n--\n\n"),
    KAVO_PYTHON_FUNCTION(div, "div(a, b)\n--\n\n"),
    KAVO_PYTHON_FUNCTION(dot, "dot(a, b)\n--\n\n"),
    KAVO_PYTHON_FUNCTION(sum, "sum(a)\n--\n\n"),
    KAVO_PYTHON_FUNCTION(matmul, "matmul(a, b)\n--\n\n"),
    KAVO_PYTHON_FUNCTION(batched_matmul,
                         "batched_matmul(a, b)\n--\n\n"
                         "Batched matrix multiply over 3D arrays `[batch, m, k] @ [batch, k, n] -> [batch, m, n]`.\n"
                         "A batch dimension of 1 on either operand broadcasts. Mirrors `numpy.matmul` on 3D inputs."),
    KAVO_PYTHON_FUNCTION(sum_dyn, "sum_dyn(a)\n--\n\n"),
    KAVO_PYTHON_FUNCTION(det, "det(a)\n--\n\n"),
    KAVO_PYTHON_FUNCTION(inv, "inv(a)\n--\n\n"),
    KAVO_PYTHON_FUNCTION(solve, "solve(a, b)\n--\n\n"),
    KAVO_PYTHON_FUNCTION(cholesky, "cholesky(a)\n--\n\n"),
    KAVO_PYTHON_FUNCTION(cholesky_solve,
                         "cholesky_solve(a, b)\n--\n\n"
                         "Solve `A x = b` for symmetric positive-definite `A` via its Cholesky factor."),
    KAVO_PYTHON_FUNCTION(cholesky_inv,
                         "cholesky_inv(a)\n--\n\n"
                         "Inverse of a symmetric positive-definite matrix via its Cholesky factor."),
    KAVO_PYTHON_FUNCTION(qr, "qr(a)\n--\n\n"),
    KAVO_PYTHON_FUNCTION(col_piv_qr, "col_piv_qr(a)\n--\n\n"),
    KAVO_PYTHON_FUNCTION(svd, "svd(a)\n--\n\n"),
    KAVO_PYTHON_FUNCTION(symmetric_eigen, "symmetric_eigen(a)\n--\n\n"),
    KAVO_PYTHON_FUNCTION(singular_values, "singular_values(a)\n--\n\n"),
    KAVO_PYTHON_FUNCTION(norm, "norm(a, ord=None)\n--\n\n"),
    KAVO_PYTHON_FUNCTION(schur, "schur(a)\n--\n\n"),
    KAVO_PYTHON_FUNCTION(bunch_kaufman, "bunch_kaufman(a)\n--\n\n"),
    KAVO_PYTHON_FUNCTION(matexp, "matexp(a)\n--\n\n"),
    KAVO_PYTHON_FUNCTION(kron, "kron(a, b)\n--\n\n"),
    KAVO_PYTHON_FUNCTION(trace, "trace(a)\n--\n\n"),
    KAVO_PYTHON_FUNCTION(hessenberg,
                         "hessenberg(a)\n--\n\n"
                         "Hessenberg reduction `A = Q H Q\u1d40`. Returns `(Q, H)`."),
    KAVO_PYTHON_FUNCTION(eigenvalues,
                         "eigenvalues(a)\n--\n\n"
                         "Eigenvalues of a general real matrix, returned as a complex vector."),
    KAVO_PYTHON_FUNCTION(full_piv_lu,
                         "full_piv_lu(a)\n--\n\n"
                         "Full-pivoting LU: returns `(L, U, row_perm, col_perm)`."),
    KAVO_PYTHON_FUNCTION(udu,
                         "udu(a)\n--\n\n"
                         "Pivot-free `A = U D U\u1d40`. Returns `(U, d)` with `d` the diagonal of `D`."),
    KAVO_PYTHON_FUNCTION(bidiagonalize,
                         "bidiagonalize(a)\n--\n\n"
                         "Bidiagonalization `A = U B V\u1d40`. Returns `(U, B, V)`."),
};

#undef KAVO_PYTHON_FUNCTION

}  // namespace

std::span<PyMethodDef> function_table() { return table; }

}  // namespace kavo_python
