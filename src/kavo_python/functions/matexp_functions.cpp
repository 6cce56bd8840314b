#include "kavo_ops/linalg/matexp/matexp.h"
#include "kavo_python/call_errors.h"
#include "kavo_python/call_guard.h"
#include "kavo_python/functions/function_entries.h"
#include "kavo_python/numpy_bridge/input_arrays.h"
#include "kavo_python/numpy_bridge/output_arrays.h"
#include "kavo_python/signatures.h"

namespace kavo_python::entries {

using Matrix = ArrayParameter<double, 2, 0>;

PyObject* matexp(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::matexp, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    auto views = convert_arrays(signatures::matexp, slots, Matrix{});
    if (!views) return nullptr;
    auto result = without_interpreter_lock([&] { return kavo_ops::matexp(std::get<0>(*views)); });
    if (!result) return raise_call_error(signatures::matexp, slots, result.error());
    return output_array(std::move(*result));
  });
}

}  // namespace kavo_python::entries
