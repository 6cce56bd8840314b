#include "kavo_python/functions/function_entries.h"
#include "kavo_python/signatures.h"
#include "kavo_python/unavailable_function.h"

namespace kavo_python::entries {

PyObject* dot(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return unavailable_function<signatures::dot, ArrayParameter<float, 1, 0>, ArrayParameter<float, 1, 1>>(module, args, nargs, kwnames);
}

PyObject* sum(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return unavailable_function<signatures::sum, ArrayParameter<float, 2, 0>>(module, args, nargs, kwnames);
}

PyObject* trace(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return unavailable_function<signatures::trace, ArrayParameter<double, 2, 0>>(module, args, nargs, kwnames);
}

PyObject* sum_dyn(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::sum_dyn, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    if (!any_rank_input<float>(slots[0], "a")) return nullptr;
    return raise_not_implemented("sum_dyn");
  });
}

}  // namespace kavo_python::entries
