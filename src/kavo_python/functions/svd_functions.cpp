#include "kavo/layout/layout.h"
#include "kavo_ops/linalg/bidiagonal/bidiagonal.h"
#include "kavo_ops/linalg/svd/svd.h"
#include "kavo_python/call_errors.h"
#include "kavo_python/call_guard.h"
#include "kavo_python/functions/function_entries.h"
#include "kavo_python/numpy_bridge/input_arrays.h"
#include "kavo_python/numpy_bridge/output_arrays.h"
#include "kavo_python/numpy_bridge/output_tuple.h"
#include "kavo_python/signatures.h"

namespace kavo_python::entries {
namespace {

using Matrix = ArrayParameter<double, 2, 0>;

// V (n x k, row-major) seen as its transpose k x n; output_array gathers it
// into a row-major Vt.
kavo::OwnedArray<double, 2> transposed_view_of(kavo::OwnedArray<double, 2> v) {
  const kavo::Layout<2> layout = v.layout();
  const kavo::Layout<2> transposed{{layout.shape[1], layout.shape[0]}, {layout.strides[1], layout.strides[0]}, 0};
  return kavo::OwnedArray<double, 2>(std::move(v).take_buffer(), transposed);
}

}  // namespace

PyObject* bidiagonalize(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::bidiagonalize, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    auto views = convert_arrays(signatures::bidiagonalize, slots, Matrix{});
    if (!views) return nullptr;
    auto factors = without_interpreter_lock([&] { return kavo_ops::bidiagonalize(std::get<0>(*views)); });
    if (!factors) return raise_call_error(signatures::bidiagonalize, slots, factors.error());
    PyObject* u = output_array(std::move(factors->u));
    PyObject* b = u ? output_array(std::move(factors->b)) : nullptr;
    PyObject* v = b ? output_array(std::move(factors->v)) : nullptr;
    return output_tuple(u, b, v);
  });
}

PyObject* svd(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::svd, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    auto views = convert_arrays(signatures::svd, slots, Matrix{});
    if (!views) return nullptr;
    auto factors = without_interpreter_lock([&] { return kavo_ops::svd(std::get<0>(*views)); });
    if (!factors) return raise_call_error(signatures::svd, slots, factors.error());
    PyObject* u = output_array(std::move(factors->u));
    PyObject* s = u ? output_vector(std::move(factors->s)) : nullptr;
    PyObject* vt = s ? output_array(transposed_view_of(std::move(factors->v))) : nullptr;
    return output_tuple(u, s, vt);
  });
}

PyObject* singular_values(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::singular_values, args, nargs, kwnames,
                       [](const ArgumentSlots& slots) -> PyObject* {
                         auto views = convert_arrays(signatures::singular_values, slots, Matrix{});
                         if (!views) return nullptr;
                         auto values =
                             without_interpreter_lock([&] { return kavo_ops::singular_values(std::get<0>(*views)); });
                         if (!values) return raise_call_error(signatures::singular_values, slots, values.error());
                         return output_vector(std::move(*values));
                       });
}

}  // namespace kavo_python::entries
