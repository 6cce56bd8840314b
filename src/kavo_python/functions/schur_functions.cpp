#include "kavo_ops/linalg/hessenberg/hessenberg.h"
#include "kavo_ops/linalg/schur/schur.h"
#include "kavo_python/call_errors.h"
#include "kavo_python/call_guard.h"
#include "kavo_python/functions/function_entries.h"
#include "kavo_python/numpy_bridge/input_arrays.h"
#include "kavo_python/numpy_bridge/output_arrays.h"
#include "kavo_python/numpy_bridge/output_tuple.h"
#include "kavo_python/signatures.h"

namespace kavo_python::entries {

using Matrix = ArrayParameter<double, 2, 0>;

PyObject* hessenberg(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::hessenberg, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    auto views = convert_arrays(signatures::hessenberg, slots, Matrix{});
    if (!views) return nullptr;
    auto factors = without_interpreter_lock([&] { return kavo_ops::hessenberg_factors(std::get<0>(*views)); });
    if (!factors) return raise_call_error(signatures::hessenberg, slots, factors.error());
    PyObject* q = output_array(std::move(factors->q));
    PyObject* h = q ? output_array(std::move(factors->h)) : nullptr;
    return output_tuple(q, h);
  });
}

PyObject* schur(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::schur, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    auto views = convert_arrays(signatures::schur, slots, Matrix{});
    if (!views) return nullptr;
    auto factors = without_interpreter_lock([&] { return kavo_ops::schur_factors(std::get<0>(*views)); });
    if (!factors) return raise_call_error(signatures::schur, slots, factors.error());
    PyObject* q = output_array(std::move(factors->q));
    PyObject* t = q ? output_array(std::move(factors->t)) : nullptr;
    return output_tuple(q, t);
  });
}

PyObject* eigenvalues(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::eigenvalues, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    auto views = convert_arrays(signatures::eigenvalues, slots, Matrix{});
    if (!views) return nullptr;
    auto values = without_interpreter_lock([&] { return kavo_ops::schur_eigenvalues(std::get<0>(*views)); });
    if (!values) return raise_call_error(signatures::eigenvalues, slots, values.error());
    return output_vector(std::move(*values));
  });
}

}  // namespace kavo_python::entries
