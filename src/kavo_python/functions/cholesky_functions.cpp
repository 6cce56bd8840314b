#include "kavo_python/functions/function_entries.h"
#include "kavo_python/signatures.h"
#include "kavo_python/unavailable_function.h"

namespace kavo_python::entries {

PyObject* cholesky(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return unavailable_function<signatures::cholesky, ArrayParameter<double, 2, 0>>(module, args, nargs, kwnames);
}

PyObject* cholesky_solve(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return unavailable_function<signatures::cholesky_solve, ArrayParameter<double, 2, 0>, ArrayParameter<double, 1, 1>>(module, args, nargs, kwnames);
}

PyObject* cholesky_inv(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return unavailable_function<signatures::cholesky_inv, ArrayParameter<double, 2, 0>>(module, args, nargs, kwnames);
}

}  // namespace kavo_python::entries
