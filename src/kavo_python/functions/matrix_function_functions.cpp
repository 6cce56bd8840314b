#include "kavo_python/functions/function_entries.h"
#include "kavo_python/signatures.h"
#include "kavo_python/unavailable_function.h"

namespace kavo_python::entries {

PyObject* norm(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::norm, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    ensure_numpy_api();
    PyArrayObject* a = extract_array(slots[0], NPY_FLOAT64, 2, "a");
    if (!a) return nullptr;
    PyObject* ord = slots[1];
    if (ord && ord != Py_None && !PyUnicode_Check(ord)) {
      if (PyObject* type_name = PyType_GetQualName(Py_TYPE(ord))) {
        PyErr_Format(PyExc_TypeError, "'%U' object cannot be converted to 'PyString'", type_name);
        Py_DECREF(type_name);
      }
      wrap_argument_error("ord");
      return nullptr;
    }
    if (!require_c_contiguous(a, "a") || !input_view<double, 2>(a, "a")) return nullptr;
    return raise_not_implemented("norm");
  });
}

PyObject* matexp(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return unavailable_function<signatures::matexp, ArrayParameter<double, 2, 0>>(module, args, nargs, kwnames);
}

}  // namespace kavo_python::entries
