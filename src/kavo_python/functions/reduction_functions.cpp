// sum, sum_dyn, dot, trace: whole-array reductions to one Python float, on
// the calling thread with the interpreter lock released.

#include <string>

#include "kavo/layout/shape_arithmetic.h"
#include "kavo_ops/reduction/trace.h"
#include "kavo_ops/reduction/whole_array_sum.h"
#include "kavo_ops/vector/dot.h"
#include "kavo_python/call_errors.h"
#include "kavo_python/call_guard.h"
#include "kavo_python/functions/function_entries.h"
#include "kavo_python/numpy_bridge/input_arrays.h"
#include "kavo_python/signatures.h"

namespace kavo_python::entries {
namespace {

constexpr const char* kSumInvariant = "invariant: sum requires a view whose layout fits its storage";

// What the lock-free part of sum_dyn ends with; Python objects are built
// only after the lock is back.
struct DynamicSum {
  std::optional<kavo::ArrayError> error;  // a layout error, raised as ValueError
  bool rank_supported = true;
  std::size_t unsupported_rank = 0;
  float value = 0.0f;
};

DynamicSum sum_any_rank(const AnyRankInput<float>& input) {
  DynamicSum outcome;
  auto strides = kavo::c_contiguous_strides<kavo::dynamic_rank>(input.dims);
  if (!strides) {
    outcome.error = std::move(strides.error());
    return outcome;
  }
  auto length = kavo::checked_size(input.dims);
  if (!length) {
    outcome.error = std::move(length.error());
    return outcome;
  }
  if (auto fits = kavo::check_storage(input.dims, *strides, 0, *length); !fits) {
    outcome.error = std::move(fits.error());
    return outcome;
  }
  const std::size_t rank = input.dims.size();
  if (rank < 1 || rank > kavo_ops::whole_array_sum_max_rank) {
    outcome.rank_supported = false;
    outcome.unsupported_rank = rank;
    return outcome;
  }
  outcome.value = kavo::expect_valid(kavo_ops::whole_array_sum(input.data, *length, input.dims, *strides, 0),
                                     kSumInvariant);
  return outcome;
}

}  // namespace

PyObject* sum(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::sum, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    auto views = convert_arrays(signatures::sum, slots, ArrayParameter<float, 2, 0>{});
    if (!views) return nullptr;
    float total = without_interpreter_lock(
        [&] { return kavo::expect_valid(kavo_ops::whole_array_sum(std::get<0>(*views)), kSumInvariant); });
    return PyFloat_FromDouble(total);
  });
}

PyObject* sum_dyn(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::sum_dyn, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    auto input = any_rank_input<float>(slots[0], "a");
    if (!input) return nullptr;
    DynamicSum outcome = without_interpreter_lock([&] { return sum_any_rank(*input); });
    if (outcome.error) return raise_call_error(signatures::sum_dyn, slots, *outcome.error);
    if (!outcome.rank_supported) {
      return raise_shape_error(signatures::sum_dyn, slots,
                               "array rank " + std::to_string(outcome.unsupported_rank) +
                                   " exceeds the supported dynamic-dispatch rank " +
                                   std::to_string(kavo_ops::whole_array_sum_max_rank),
                               "a.reshape(-1) sums the same values");
    }
    return PyFloat_FromDouble(outcome.value);
  });
}

PyObject* dot(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::dot, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    auto views = convert_arrays(signatures::dot, slots, ArrayParameter<float, 1, 0>{}, ArrayParameter<float, 1, 1>{});
    if (!views) return nullptr;
    auto product = without_interpreter_lock([&] { return kavo_ops::dot(std::get<0>(*views), std::get<1>(*views)); });
    if (!product) return raise_call_error(signatures::dot, slots, product.error());
    return PyFloat_FromDouble(*product);
  });
}

PyObject* trace(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::trace, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    auto views = convert_arrays(signatures::trace, slots, ArrayParameter<double, 2, 0>{});
    if (!views) return nullptr;
    auto total = without_interpreter_lock([&] { return kavo_ops::trace(std::get<0>(*views)); });
    if (!total) return raise_call_error(signatures::trace, slots, total.error());
    return PyFloat_FromDouble(*total);
  });
}

}  // namespace kavo_python::entries
