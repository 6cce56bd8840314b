#include "kavo_ops/linalg/bunch_kaufman/bunch_kaufman.h"
#include "kavo_ops/linalg/udu/udu.h"
#include "kavo_python/call_errors.h"
#include "kavo_python/call_guard.h"
#include "kavo_python/functions/function_entries.h"
#include "kavo_python/numpy_bridge/input_arrays.h"
#include "kavo_python/numpy_bridge/output_arrays.h"
#include "kavo_python/numpy_bridge/output_tuple.h"
#include "kavo_python/signatures.h"

namespace kavo_python::entries {

using Matrix = ArrayParameter<double, 2, 0>;

PyObject* udu(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::udu, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    auto views = convert_arrays(signatures::udu, slots, Matrix{});
    if (!views) return nullptr;
    auto factors = without_interpreter_lock([&] { return kavo_ops::udu_factor(std::get<0>(*views)); });
    if (!factors) return raise_call_error(signatures::udu, slots, factors.error());
    PyObject* u = output_array(std::move(factors->u));
    PyObject* d = u ? output_vector(std::move(factors->d)) : nullptr;
    return output_tuple(u, d);
  });
}

PyObject* bunch_kaufman(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::bunch_kaufman, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    auto views = convert_arrays(signatures::bunch_kaufman, slots, Matrix{});
    if (!views) return nullptr;
    auto factors = without_interpreter_lock([&] { return kavo_ops::bunch_kaufman_factor(std::get<0>(*views)); });
    if (!factors) return raise_call_error(signatures::bunch_kaufman, slots, factors.error());
    PyObject* l = output_array(std::move(factors->l));
    PyObject* d = l ? output_array(std::move(factors->d)) : nullptr;
    PyObject* permutation = d ? output_vector(std::move(factors->permutation)) : nullptr;
    return output_tuple(l, d, permutation);
  });
}

}  // namespace kavo_python::entries
