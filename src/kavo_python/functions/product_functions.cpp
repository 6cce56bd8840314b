#include "kavo/constructors/constructors.h"
#include "kavo_ops/linalg/products/kronecker.h"
#include "kavo_ops/matrix/batched_matmul.h"
#include "kavo_ops/matrix/matmul.h"
#include "kavo_python/call_errors.h"
#include "kavo_python/call_guard.h"
#include "kavo_python/functions/function_entries.h"
#include "kavo_python/numpy_bridge/input_arrays.h"
#include "kavo_python/numpy_bridge/output_arrays.h"
#include "kavo_python/signatures.h"

namespace kavo_python::entries {

PyObject* matmul(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::matmul, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    auto views = convert_arrays(signatures::matmul, slots, ArrayParameter<float, 2, 0>{}, ArrayParameter<float, 2, 1>{});
    if (!views) return nullptr;
    const auto& [a, b] = *views;
    if (a.layout.shape[1] != b.layout.shape[0]) {
      return raise_shape_error(signatures::matmul, slots, "Dimension mismatch for matrix multiplication");
    }
    auto result = kavo::try_zeros<float, 2>({a.layout.shape[0], b.layout.shape[1]});
    if (!result) return raise_call_error(signatures::matmul, slots, result.error());
    auto done = without_interpreter_lock([&] { return kavo_ops::matmul_into(a, b, result->mut_view()); });
    if (!done) return raise_call_error(signatures::matmul, slots, done.error());
    return output_array(std::move(*result));
  });
}

PyObject* batched_matmul(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::batched_matmul, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    auto views = convert_arrays(signatures::batched_matmul, slots, ArrayParameter<float, 3, 0>{}, ArrayParameter<float, 3, 1>{});
    if (!views) return nullptr;
    const auto& [a, b] = *views;
    if (a.layout.shape[2] != b.layout.shape[1]) {
      return raise_shape_error(signatures::batched_matmul, slots, "Inner dimension mismatch for batched matmul");
    }
    auto batches = kavo_ops::batched_batch_count(a.layout.shape, b.layout.shape);
    if (!batches) return raise_call_error(signatures::batched_matmul, slots, batches.error());
    auto result = kavo::try_zeros<float, 3>({*batches, a.layout.shape[1], b.layout.shape[2]});
    if (!result) return raise_call_error(signatures::batched_matmul, slots, result.error());
    auto done = without_interpreter_lock([&] { return kavo_ops::batched_matmul_into(a, b, result->mut_view()); });
    if (!done) return raise_call_error(signatures::batched_matmul, slots, done.error());
    return output_array(std::move(*result));
  });
}

PyObject* kron(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::kron, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    auto views = convert_arrays(signatures::kron, slots, ArrayParameter<double, 2, 0>{}, ArrayParameter<double, 2, 1>{});
    if (!views) return nullptr;
    auto product = without_interpreter_lock([&] { return kavo_ops::kronecker(std::get<0>(*views), std::get<1>(*views)); });
    if (!product) return raise_call_error(signatures::kron, slots, product.error());
    return output_array(std::move(*product));
  });
}

}  // namespace kavo_python::entries
