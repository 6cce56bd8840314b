// norm: the entrywise norms of a float64 matrix, computed in place with the
// interpreter lock released and returned as a Python float.

#include <optional>
#include <string>
#include <string_view>

#include "kavo_ops/linalg/norms/norms.h"
#include "kavo_python/call_errors.h"
#include "kavo_python/call_guard.h"
#include "kavo_python/functions/function_entries.h"
#include "kavo_python/numpy_bridge/input_arrays.h"
#include "kavo_python/python_errors.h"
#include "kavo_python/signatures.h"

namespace kavo_python::entries {
namespace {

// The kind `ord` names (None: Frobenius); an unknown order is none. A str
// that has no UTF-8 form (lone surrogates) names no order either.
std::optional<kavo_ops::EntrywiseNorm> norm_kind(PyObject* ord) {
  if (!ord || ord == Py_None) return kavo_ops::EntrywiseNorm::Frobenius;
  Py_ssize_t size = 0;
  const char* text = PyUnicode_AsUTF8AndSize(ord, &size);
  if (!text) {
    PyErr_Clear();
    return std::nullopt;
  }
  return kavo_ops::parse_norm_order(std::string_view(text, static_cast<std::size_t>(size)));
}

constexpr const char* kAcceptedOrders = "None, 'fro', '2', 'l2', 'max', 'inf', '1' or 'l1' (entrywise orders)";

// ValueError naming the order exactly as given; not an array error.
PyObject* raise_unsupported_order(PyObject* ord) {
  PyObject* shown = PyObject_Repr(ord);
  std::string note = std::string("ord must be ") + kAcceptedOrders + "; got ";
  const char* shown_text = shown ? PyUnicode_AsUTF8(shown) : nullptr;
  note += shown_text ? shown_text : "an order without a printable form";
  Py_XDECREF(shown);
  PyErr_Clear();
  if (PyObject* message = PyUnicode_FromFormat("Unsupported norm order: %U", ord)) {
    PyErr_SetObject(PyExc_ValueError, message);
    Py_DECREF(message);
    add_note_to_raised(note);
  }
  return nullptr;
}

// TypeError for an `ord` that is neither None nor a str.
PyObject* raise_order_not_text(PyObject* ord) {
  PyObject* type_name = PyType_GetQualName(Py_TYPE(ord));
  if (!type_name) return nullptr;
  const char* name_text = PyUnicode_AsUTF8(type_name);
  std::string note = std::string("ord must be a str; got ") + (name_text ? name_text : "an unnamed type");
  PyErr_Clear();
  PyErr_Format(PyExc_TypeError, "'%U' object cannot be converted to 'PyString'", type_name);
  Py_DECREF(type_name);
  wrap_argument_error("ord");
  add_note_to_raised(note);
  return nullptr;
}

}  // namespace

PyObject* norm(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_function(signatures::norm, args, nargs, kwnames, [](const ArgumentSlots& slots) -> PyObject* {
    ensure_numpy_api();
    PyArrayObject* a = extract_array(slots[0], NPY_FLOAT64, 2, "a");
    if (!a) return nullptr;
    PyObject* ord = slots[1];
    if (ord && ord != Py_None && !PyUnicode_Check(ord)) return raise_order_not_text(ord);
    if (!require_c_contiguous(a, "a")) return nullptr;
    auto view = input_view<double, 2>(a, "a");
    if (!view) return nullptr;
    const auto kind = norm_kind(ord);
    if (!kind) return raise_unsupported_order(ord);
    auto value = without_interpreter_lock([&] { return kavo_ops::entrywise_norm(*view, *kind); });
    if (!value) return raise_call_error(signatures::norm, slots, value.error());
    return PyFloat_FromDouble(*value);
  });
}

}  // namespace kavo_python::entries
