#include "kavo_python/functions/function_entries.h"
#include "kavo_python/signatures.h"
#include "kavo_python/unavailable_function.h"

namespace kavo_python::entries {

PyObject* bidiagonalize(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return unavailable_function<signatures::bidiagonalize, ArrayParameter<double, 2, 0>>(module, args, nargs, kwnames);
}

PyObject* svd(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return unavailable_function<signatures::svd, ArrayParameter<double, 2, 0>>(module, args, nargs, kwnames);
}

PyObject* singular_values(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return unavailable_function<signatures::singular_values, ArrayParameter<double, 2, 0>>(module, args, nargs, kwnames);
}

}  // namespace kavo_python::entries
