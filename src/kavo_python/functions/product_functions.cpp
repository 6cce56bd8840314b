#include "kavo_python/functions/function_entries.h"
#include "kavo_python/signatures.h"
#include "kavo_python/unavailable_function.h"

namespace kavo_python::entries {

PyObject* matmul(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return unavailable_function<signatures::matmul, ArrayParameter<float, 2, 0>, ArrayParameter<float, 2, 1>>(module, args, nargs, kwnames);
}

PyObject* batched_matmul(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return unavailable_function<signatures::batched_matmul, ArrayParameter<float, 3, 0>, ArrayParameter<float, 3, 1>>(module, args, nargs, kwnames);
}

PyObject* kron(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return unavailable_function<signatures::kron, ArrayParameter<double, 2, 0>, ArrayParameter<double, 2, 1>>(module, args, nargs, kwnames);
}

}  // namespace kavo_python::entries
