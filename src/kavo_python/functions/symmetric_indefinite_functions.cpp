#include "kavo_ops/linalg/bunch_kaufman/bunch_kaufman.h"
#include "kavo_ops/linalg/udu/udu.h"
#include "kavo_python/call_guard.h"
#include "kavo_python/functions/function_entries.h"
#include "kavo_python/numpy_bridge/input_arrays.h"
#include "kavo_python/numpy_bridge/output_arrays.h"
#include "kavo_python/signatures.h"

namespace kavo_python::entries {
namespace {

using Matrix = ArrayParameter<double, 2, 0>;

// A tuple taking over the references of `items`; null, releasing them all,
// when any of them is null (its exception is pending).
template <class... Items>
PyObject* tuple_of(Items*... items) {
  PyObject* objects[] = {items...};
  bool complete = true;
  for (PyObject* object : objects) complete = complete && object != nullptr;
  PyObject* tuple = complete ? PyTuple_New(sizeof...(Items)) : nullptr;
  if (!tuple) {
    for (PyObject* object : objects) Py_XDECREF(object);
    return complete ? keep_or_raise_missing_exception() : nullptr;
  }
  for (Py_ssize_t i = 0; i < static_cast<Py_ssize_t>(sizeof...(Items)); ++i) PyTuple_SET_ITEM(tuple, i, objects[i]);
  return tuple;
}

}  // namespace

PyObject* udu(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::udu, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    auto views = convert_arrays(signatures::udu, slots, Matrix{});
    if (!views) return nullptr;
    auto factors = without_interpreter_lock([&] { return kavo_ops::udu_factor(std::get<0>(*views)); });
    if (!factors) return raise_array_error(factors.error());
    PyObject* u = output_array(std::move(factors->u));
    PyObject* d = u ? output_vector(std::move(factors->d)) : nullptr;
    return tuple_of(u, d);
  });
}

PyObject* bunch_kaufman(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::bunch_kaufman, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    auto views = convert_arrays(signatures::bunch_kaufman, slots, Matrix{});
    if (!views) return nullptr;
    auto factors = without_interpreter_lock([&] { return kavo_ops::bunch_kaufman_factor(std::get<0>(*views)); });
    if (!factors) return raise_array_error(factors.error());
    PyObject* l = output_array(std::move(factors->l));
    PyObject* d = l ? output_array(std::move(factors->d)) : nullptr;
    PyObject* permutation = d ? output_vector(std::move(factors->permutation)) : nullptr;
    return tuple_of(l, d, permutation);
  });
}

}  // namespace kavo_python::entries
