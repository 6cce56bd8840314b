// add, sub, mul, div: one routine, four operations. The result has exactly
// the shape of `a`; `b` is broadcast onto it one-sidedly (extent 1 where `a`
// has any extent), never the other way round.

#include <algorithm>
#include <string>

#include "kavo/constructors/constructors.h"
#include "kavo/layout/broadcast.h"
#include "kavo_ops/map/binary_map.h"
#include "kavo_python/call_errors.h"
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

// The fix for a b that does not broadcast onto a: a row laid out as a
// column or the other way round, or an a that would need stretching itself.
std::string broadcast_fix(const kavo::Extents<2>& a, const kavo::Extents<2>& b) {
  if (b[1] == 1 && b[0] == a[1]) return "b.reshape(1, -1) makes it a row, repeated down a's rows";
  if (b[0] == 1 && b[1] == a[0]) return "b.reshape(-1, 1) makes it a column, repeated across a's columns";
  std::string shape = "(";
  for (std::size_t axis = 0; axis < 2; ++axis) {
    if (a[axis] != b[axis] && a[axis] != 1 && b[axis] != 1) return "";
    shape += std::to_string(std::max(a[axis], b[axis])) + (axis == 0 ? ", " : ")");
  }
  return "numpy.ascontiguousarray(numpy.broadcast_to(a, " + shape + ")) stretches a to that shape first";
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
    if (!result) return raise_call_error(signature, slots, result.error());
    auto done = without_interpreter_lock([&] { return compute(a, b, *result, op); });
    if (!done) {
      const bool broadcast = done.error().template get_if<kavo::IncompatibleBroadcast>() != nullptr;
      const std::string fix = broadcast ? broadcast_fix(a.layout.shape, b.layout.shape) : "";
      return raise_call_error(signature, slots, done.error(), fix);
    }
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
