#include "kavo_ops/linalg/symmetric_eigen/symmetric_eigen.h"
#include "kavo_python/call_errors.h"
#include "kavo_python/call_guard.h"
#include "kavo_python/functions/function_entries.h"
#include "kavo_python/numpy_bridge/input_arrays.h"
#include "kavo_python/numpy_bridge/output_arrays.h"
#include "kavo_python/numpy_bridge/output_tuple.h"
#include "kavo_python/signatures.h"

namespace kavo_python::entries {

using Matrix = ArrayParameter<double, 2, 0>;

PyObject* symmetric_eigen(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::symmetric_eigen, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    auto views = convert_arrays(signatures::symmetric_eigen, slots, Matrix{});
    if (!views) return nullptr;
    auto eigen = without_interpreter_lock([&] { return kavo_ops::symmetric_eigen(std::get<0>(*views)); });
    if (!eigen) return raise_call_error(signatures::symmetric_eigen, slots, eigen.error());
    PyObject* values = output_vector(std::move(eigen->values));
    PyObject* vectors = values ? output_array(std::move(eigen->vectors)) : nullptr;
    return output_tuple(values, vectors);
  });
}

}  // namespace kavo_python::entries
