#pragma once
// A function whose computation is not built yet: it parses and converts its
// arguments exactly like the finished function will, then raises
// NotImplementedError naming itself.

#include <string>

#include "kavo_python/call_guard.h"
#include "kavo_python/numpy_bridge/input_arrays.h"

namespace kavo_python {

inline PyObject* raise_not_implemented(const char* function) {
  PyErr_SetString(PyExc_NotImplementedError,
                  (std::string("kavo_python.") + function + " is not implemented yet").c_str());
  return nullptr;
}

template <const Signature& signature, class... Parameters>
PyObject* unavailable_function(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signature, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    if (!convert_arrays(signature, slots, Parameters{}...)) return nullptr;
    return raise_not_implemented(signature.name);
  });
}

}  // namespace kavo_python
