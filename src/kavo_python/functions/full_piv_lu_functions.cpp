#include "kavo_ops/linalg/full_piv_lu/full_piv_lu.h"
#include "kavo_python/call_errors.h"
#include "kavo_python/call_guard.h"
#include "kavo_python/functions/function_entries.h"
#include "kavo_python/numpy_bridge/input_arrays.h"
#include "kavo_python/numpy_bridge/output_arrays.h"
#include "kavo_python/numpy_bridge/output_tuple.h"
#include "kavo_python/signatures.h"

namespace kavo_python::entries {

using Matrix = ArrayParameter<double, 2, 0>;

PyObject* full_piv_lu(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::full_piv_lu, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    auto views = convert_arrays(signatures::full_piv_lu, slots, Matrix{});
    if (!views) return nullptr;
    auto lu = without_interpreter_lock([&] { return kavo_ops::full_piv_lu(std::get<0>(*views)); });
    if (!lu) return raise_call_error(signatures::full_piv_lu, slots, lu.error());
    PyObject* l = output_array(std::move(lu->l));
    PyObject* u = l ? output_array(std::move(lu->u)) : nullptr;
    PyObject* row_perm = u ? output_vector(std::move(lu->row_perm)) : nullptr;
    PyObject* col_perm = row_perm ? output_vector(std::move(lu->col_perm)) : nullptr;
    return output_tuple(l, u, row_perm, col_perm);
  });
}

}  // namespace kavo_python::entries
