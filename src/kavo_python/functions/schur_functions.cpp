#include "kavo_python/functions/function_entries.h"
#include "kavo_python/signatures.h"
#include "kavo_python/unavailable_function.h"

namespace kavo_python::entries {

PyObject* hessenberg(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return unavailable_function<signatures::hessenberg, ArrayParameter<double, 2, 0>>(module, args, nargs, kwnames);
}

PyObject* schur(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return unavailable_function<signatures::schur, ArrayParameter<double, 2, 0>>(module, args, nargs, kwnames);
}

PyObject* eigenvalues(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return unavailable_function<signatures::eigenvalues, ArrayParameter<double, 2, 0>>(module, args, nargs, kwnames);
}

}  // namespace kavo_python::entries
