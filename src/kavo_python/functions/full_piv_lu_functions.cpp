#include "kavo_ops/linalg/full_piv_lu/full_piv_lu.h"
#include "kavo_python/call_guard.h"
#include "kavo_python/functions/function_entries.h"
#include "kavo_python/numpy_bridge/input_arrays.h"
#include "kavo_python/numpy_bridge/output_arrays.h"
#include "kavo_python/signatures.h"

namespace kavo_python::entries {

using Matrix = ArrayParameter<double, 2, 0>;

PyObject* full_piv_lu(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::full_piv_lu, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    auto views = convert_arrays(signatures::full_piv_lu, slots, Matrix{});
    if (!views) return nullptr;
    auto lu = without_interpreter_lock([&] { return kavo_ops::full_piv_lu(std::get<0>(*views)); });
    if (!lu) return raise_array_error(lu.error());
    // Stops at the first failure; the results not yet handed over are freed
    // by their owners here.
    PyObject* tuple = PyTuple_New(4);
    if (!tuple) return nullptr;
    PyObject* items[] = {output_array(std::move(lu->l)), nullptr, nullptr, nullptr};
    if (items[0]) items[1] = output_array(std::move(lu->u));
    if (items[1]) items[2] = output_vector(std::move(lu->row_perm));
    if (items[2]) items[3] = output_vector(std::move(lu->col_perm));
    for (Py_ssize_t i = 0; i < 4; ++i) {
      if (items[i]) PyTuple_SET_ITEM(tuple, i, items[i]);  // steals the reference
    }
    if (!items[3]) {
      Py_DECREF(tuple);  // releases the items already placed
      return nullptr;
    }
    return tuple;
  });
}

}  // namespace kavo_python::entries
