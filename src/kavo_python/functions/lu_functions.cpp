#include "kavo_python/functions/function_entries.h"
#include "kavo_python/signatures.h"
#include "kavo_python/unavailable_function.h"

namespace kavo_python::entries {

PyObject* det(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return unavailable_function<signatures::det, ArrayParameter<double, 2, 0>>(module, args, nargs, kwnames);
}

PyObject* inv(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return unavailable_function<signatures::inv, ArrayParameter<double, 2, 0>>(module, args, nargs, kwnames);
}

PyObject* solve(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return unavailable_function<signatures::solve, ArrayParameter<double, 2, 0>, ArrayParameter<double, 1, 1>>(module, args, nargs, kwnames);
}

}  // namespace kavo_python::entries
