#include "kavo_ops/linalg/cholesky/cholesky.h"
#include "kavo_python/call_errors.h"
#include "kavo_python/call_guard.h"
#include "kavo_python/functions/function_entries.h"
#include "kavo_python/numpy_bridge/input_arrays.h"
#include "kavo_python/numpy_bridge/output_arrays.h"
#include "kavo_python/signatures.h"

namespace kavo_python::entries {

using Matrix = ArrayParameter<double, 2, 0>;
using Vector = ArrayParameter<double, 1, 1>;

PyObject* cholesky(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::cholesky, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    auto views = convert_arrays(signatures::cholesky, slots, Matrix{});
    if (!views) return nullptr;
    auto factor = without_interpreter_lock([&] { return kavo_ops::cholesky_factor(std::get<0>(*views)); });
    if (!factor) return raise_call_error(signatures::cholesky, slots, factor.error());
    return output_array(std::move(*factor));
  });
}

PyObject* cholesky_solve(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::cholesky_solve, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    auto views = convert_arrays(signatures::cholesky_solve, slots, Matrix{}, Vector{});
    if (!views) return nullptr;
    auto x = without_interpreter_lock([&] { return kavo_ops::cholesky_solve(std::get<0>(*views), std::get<1>(*views)); });
    if (!x) return raise_call_error(signatures::cholesky_solve, slots, x.error());
    return output_vector(std::move(*x));
  });
}

PyObject* cholesky_inv(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::cholesky_inv, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    auto views = convert_arrays(signatures::cholesky_inv, slots, Matrix{});
    if (!views) return nullptr;
    auto inverse = without_interpreter_lock([&] { return kavo_ops::cholesky_inverse(std::get<0>(*views)); });
    if (!inverse) return raise_call_error(signatures::cholesky_inv, slots, inverse.error());
    return output_array(std::move(*inverse));
  });
}

}  // namespace kavo_python::entries
