#include "kavo_ops/linalg/lu/lu.h"
#include "kavo_python/call_errors.h"
#include "kavo_python/call_guard.h"
#include "kavo_python/functions/function_entries.h"
#include "kavo_python/numpy_bridge/input_arrays.h"
#include "kavo_python/numpy_bridge/output_arrays.h"
#include "kavo_python/signatures.h"

namespace kavo_python::entries {

using Matrix = ArrayParameter<double, 2, 0>;
using Vector = ArrayParameter<double, 1, 1>;

PyObject* det(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::det, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    auto views = convert_arrays(signatures::det, slots, Matrix{});
    if (!views) return nullptr;
    auto d = without_interpreter_lock([&] { return kavo_ops::lu_determinant(std::get<0>(*views)); });
    if (!d) return raise_call_error(signatures::det, slots, d.error());
    return PyFloat_FromDouble(*d);
  });
}

PyObject* inv(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::inv, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    auto views = convert_arrays(signatures::inv, slots, Matrix{});
    if (!views) return nullptr;
    auto inverse = without_interpreter_lock([&] { return kavo_ops::lu_inverse(std::get<0>(*views)); });
    if (!inverse) return raise_call_error(signatures::inv, slots, inverse.error());
    return output_array(std::move(*inverse));
  });
}

PyObject* solve(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::solve, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    auto views = convert_arrays(signatures::solve, slots, Matrix{}, Vector{});
    if (!views) return nullptr;
    auto x = without_interpreter_lock([&] { return kavo_ops::lu_solve(std::get<0>(*views), std::get<1>(*views)); });
    if (!x) return raise_call_error(signatures::solve, slots, x.error());
    return output_vector(std::move(*x));
  });
}

}  // namespace kavo_python::entries
