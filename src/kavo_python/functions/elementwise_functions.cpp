// add, sub, mul, div: one routine, four operations. The result has exactly
// the shape of `a`; `b` is broadcast onto it one-sidedly (extent 1 where `a`
// has any extent), never the other way round.

#include "kavo/constructors/constructors.h"
#include "kavo/layout/broadcast.h"
#include "kavo_ops/map/binary_map.h"
#include "kavo_python/call_guard.h"
#include "kavo_python/functions/function_entries.h"
#include "kavo_python/numpy_bridge/input_arrays.h"
#include "kavo_python/numpy_bridge/output_arrays.h"
#include "kavo_python/signatures.h"

namespace kavo_python::entries {
namespace {

constexpr const char* kOperation = "binary map";

// The operand viewed with the result's shape.
kavo::Expected<kavo::View<float, 2>> onto(const kavo::View<float, 2>& operand, const kavo::Extents<2>& shape) {
  auto strides = kavo::broadcast_strides<2>(operand.layout.shape, operand.layout.strides, shape);
  if (!strides) return std::unexpected(std::move(strides.error()));
  kavo::View<float, 2> broadcast{operand.data, operand.len, {shape, *strides, operand.layout.offset}};
  if (auto count = kavo::checked_size(broadcast.layout); !count) return std::unexpected(std::move(count.error()));
  if (auto bounds = kavo::physical_bounds(broadcast.layout); !bounds) return std::unexpected(std::move(bounds.error()));
  return broadcast;
}

kavo::Expected<void> compute(const kavo::View<float, 2>& a, const kavo::View<float, 2>& b,
                             kavo::OwnedArray<float, 2>& result, kavo_ops::BinaryOp op) {
  const kavo::Extents<2>& shape = result.layout().shape;
  auto a_full = onto(a, shape);
  if (!a_full) return std::unexpected(std::move(a_full.error()));
  auto b_full = onto(b, shape);
  if (!b_full) return std::unexpected(std::move(b_full.error()));
  return kavo_ops::binary_map(*a_full, *b_full, result.mut_view(), op, kOperation);
}

template <const Signature& signature, kavo_ops::BinaryOp op>
PyObject* elementwise(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signature, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    auto views = convert_arrays(signature, slots, ArrayParameter<float, 2, 0>{}, ArrayParameter<float, 2, 1>{});
    if (!views) return nullptr;
    const auto& [a, b] = *views;
    // The map writes every element of the result.
    auto result = kavo::try_uninitialized<float, 2>(a.layout.shape);
    if (!result) return raise_array_error(result.error());
    auto done = without_interpreter_lock([&] { return compute(a, b, *result, op); });
    if (!done) return raise_array_error(done.error());
    return output_array(std::move(*result));
  });
}

}  // namespace

PyObject* add(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return elementwise<signatures::add, kavo_ops::BinaryOp::add>(args, nargs, kwnames);
}
PyObject* sub(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return elementwise<signatures::sub, kavo_ops::BinaryOp::sub>(args, nargs, kwnames);
}
PyObject* mul(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return elementwise<signatures::mul, kavo_ops::BinaryOp::mul>(args, nargs, kwnames);
}
PyObject* div(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return elementwise<signatures::div, kavo_ops::BinaryOp::div>(args, nargs, kwnames);
}

}  // namespace kavo_python::entries
