#include "kavo_ops/linalg/col_piv_qr/col_piv_qr.h"
#include "kavo_ops/linalg/qr/qr.h"
#include "kavo_python/call_errors.h"
#include "kavo_python/call_guard.h"
#include "kavo_python/functions/function_entries.h"
#include "kavo_python/numpy_bridge/input_arrays.h"
#include "kavo_python/numpy_bridge/output_arrays.h"
#include "kavo_python/numpy_bridge/output_tuple.h"
#include "kavo_python/signatures.h"

namespace kavo_python::entries {

using Matrix = ArrayParameter<double, 2, 0>;

PyObject* qr(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::qr, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    auto views = convert_arrays(signatures::qr, slots, Matrix{});
    if (!views) return nullptr;
    auto factors = without_interpreter_lock([&] { return kavo_ops::qr_factors(std::get<0>(*views)); });
    if (!factors) return raise_call_error(signatures::qr, slots, factors.error());
    PyObject* q = output_array(std::move(factors->q));
    PyObject* r = q ? output_array(std::move(factors->r)) : nullptr;
    return output_tuple(q, r);
  });
}

PyObject* col_piv_qr(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::col_piv_qr, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    auto views = convert_arrays(signatures::col_piv_qr, slots, Matrix{});
    if (!views) return nullptr;
    auto factors = without_interpreter_lock([&] { return kavo_ops::col_piv_qr(std::get<0>(*views)); });
    if (!factors) return raise_call_error(signatures::col_piv_qr, slots, factors.error());
    PyObject* q = output_array(std::move(factors->q));
    PyObject* r = q ? output_array(std::move(factors->r)) : nullptr;
    PyObject* perm = r ? output_vector(std::move(factors->perm)) : nullptr;
    return output_tuple(q, r, perm);
  });
}

}  // namespace kavo_python::entries
