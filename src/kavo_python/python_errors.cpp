#include "kavo_python/python_errors.h"

namespace kavo_python {

PyObject* raise_array_error(const kavo::ArrayError& error) { return raise_value_error(error.display()); }

PyObject* raise_value_error(const std::string& message) {
  PyErr_SetString(PyExc_ValueError, message.c_str());
  return nullptr;
}

PyObject* raise_type_error(const std::string& message) {
  PyErr_SetString(PyExc_TypeError, message.c_str());
  return nullptr;
}

PyObject* keep_or_raise_missing_exception() {
  if (!PyErr_Occurred()) {
    PyErr_SetString(PyExc_SystemError, "attempted to fetch exception but none was set");
  }
  return nullptr;
}

}  // namespace kavo_python
