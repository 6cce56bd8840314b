#include "kavo_python/functions/function_entries.h"
#include "kavo_python/signatures.h"
#include "kavo_python/unavailable_function.h"

namespace kavo_python::entries {

PyObject* add(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return unavailable_function<signatures::add, ArrayParameter<float, 2, 0>, ArrayParameter<float, 2, 1>>(module, args, nargs, kwnames);
}

PyObject* sub(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return unavailable_function<signatures::sub, ArrayParameter<float, 2, 0>, ArrayParameter<float, 2, 1>>(module, args, nargs, kwnames);
}

PyObject* mul(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return unavailable_function<signatures::mul, ArrayParameter<float, 2, 0>, ArrayParameter<float, 2, 1>>(module, args, nargs, kwnames);
}

PyObject* div(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return unavailable_function<signatures::div, ArrayParameter<float, 2, 0>, ArrayParameter<float, 2, 1>>(module, args, nargs, kwnames);
}

}  // namespace kavo_python::entries
