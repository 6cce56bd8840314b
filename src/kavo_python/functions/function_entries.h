#pragma once
// The module's 31 functions: vectorcall entry points, one family per file.

#include "kavo_python/python_headers.h"

#define KAVO_PYTHON_ENTRY(name) PyObject* name(PyObject*, PyObject* const*, Py_ssize_t, PyObject*)

namespace kavo_python::entries {

// elementwise_functions.cpp
KAVO_PYTHON_ENTRY(add);
KAVO_PYTHON_ENTRY(sub);
KAVO_PYTHON_ENTRY(mul);
KAVO_PYTHON_ENTRY(div);
// reduction_functions.cpp
KAVO_PYTHON_ENTRY(dot);
KAVO_PYTHON_ENTRY(sum);
KAVO_PYTHON_ENTRY(sum_dyn);
KAVO_PYTHON_ENTRY(trace);
// product_functions.cpp
KAVO_PYTHON_ENTRY(matmul);
KAVO_PYTHON_ENTRY(batched_matmul);
KAVO_PYTHON_ENTRY(kron);
// lu_functions.cpp
KAVO_PYTHON_ENTRY(det);
KAVO_PYTHON_ENTRY(inv);
KAVO_PYTHON_ENTRY(solve);
// full_piv_lu_functions.cpp
KAVO_PYTHON_ENTRY(full_piv_lu);
// cholesky_functions.cpp
KAVO_PYTHON_ENTRY(cholesky);
KAVO_PYTHON_ENTRY(cholesky_solve);
KAVO_PYTHON_ENTRY(cholesky_inv);
// qr_functions.cpp
KAVO_PYTHON_ENTRY(qr);
KAVO_PYTHON_ENTRY(col_piv_qr);
// symmetric_indefinite_functions.cpp
KAVO_PYTHON_ENTRY(udu);
KAVO_PYTHON_ENTRY(bunch_kaufman);
// svd_functions.cpp
KAVO_PYTHON_ENTRY(bidiagonalize);
KAVO_PYTHON_ENTRY(svd);
KAVO_PYTHON_ENTRY(singular_values);
// symmetric_eigen_functions.cpp
KAVO_PYTHON_ENTRY(symmetric_eigen);
// schur_functions.cpp
KAVO_PYTHON_ENTRY(hessenberg);
KAVO_PYTHON_ENTRY(schur);
KAVO_PYTHON_ENTRY(eigenvalues);
// norm_functions.cpp
KAVO_PYTHON_ENTRY(norm);
// matexp_functions.cpp
KAVO_PYTHON_ENTRY(matexp);

}  // namespace kavo_python::entries

#undef KAVO_PYTHON_ENTRY
