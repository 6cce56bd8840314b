#include "kavo_python/numpy_bridge/input_arrays.h"

#include <optional>
#include <string>

#include "kavo_python/numpy_bridge/array_text.h"

namespace kavo_python {
namespace {

std::string dimensions_text(int rank) {
  return std::to_string(rank) + (rank == 1 ? " dimension" : " dimensions");
}

std::string layout_text(PyArrayObject* array) {
  const int rank = PyArray_NDIM(array);
  return "shape " + tuple_text(PyArray_DIMS(array), rank) + " with byte strides " +
         tuple_text(PyArray_STRIDES(array), rank);
}

// Something numpy.asarray turns into an array: a sequence (not text), a
// buffer, or an object with NumPy's array interface.
bool array_like(PyObject* object) {
  if (PyUnicode_Check(object) || PyBytes_Check(object)) return false;
  const bool like = PySequence_Check(object) || PyObject_CheckBuffer(object) ||
                    PyObject_HasAttrString(object, "__array__") ||
                    PyObject_HasAttrString(object, "__array_interface__");
  PyErr_Clear();
  return like;
}

// ".reshape(1, -1)", "[numpy.newaxis]", ".reshape(3)": what gives `array`
// `rank` dimensions without changing its elements, when something does.
std::optional<std::string> rank_fix(PyArrayObject* array, int rank) {
  const int given = PyArray_NDIM(array);
  const npy_intp* dims = PyArray_DIMS(array);
  std::string out;
  if (given < rank) {
    if (given >= 2) {
      out = "[";
      for (int i = 0; i < rank - given; ++i) out += i > 0 ? ", numpy.newaxis" : "numpy.newaxis";
      return out + "]";
    }
    out = ".reshape(";
    for (int i = 0; i < rank - 1; ++i) out += "1, ";
    return out + (given == 1 ? "-1)" : "1)");
  }
  // More dimensions than wanted: drop extent-1 axes, the first ones first.
  int to_drop = given - rank;
  std::string kept;
  int kept_count = 0;
  for (int axis = 0; axis < given; ++axis) {
    if (to_drop > 0 && dims[axis] == 1) {
      --to_drop;
      continue;
    }
    kept += (kept_count++ > 0 ? ", " : "") + std::to_string(dims[axis]);
  }
  if (to_drop > 0) return std::nullopt;
  return ".reshape(" + kept + ")";
}

// ". a.astype(numpy.float32) makes an accepted copy": the call that turns
// `array` into what extract_array wanted, or nothing when none does.
std::string conversion_fix(PyArrayObject* array, bool dtype_accepted, int rank, const char* name,
                           const std::string& wanted_dtype) {
  std::string expression = name;
  if (!dtype_accepted) expression += ".astype(numpy." + wanted_dtype + ")";
  if (rank == kAnyRank || PyArray_NDIM(array) == rank) {
    return dtype_accepted ? "" : ". " + expression + " makes an accepted copy";
  }
  const std::optional<std::string> reshape = rank_fix(array, rank);
  if (!reshape) return "";
  if (PyArray_NDIM(array) == 1 && rank == 2) {
    return ". " + expression + *reshape + " makes it one row (" + expression + ".reshape(-1, 1): one column)";
  }
  return ". " + expression + *reshape + " gives it " + dimensions_text(rank);
}

// What extract_array wanted, against what it was given, and the fix.
std::string conversion_note(PyObject* object, int type_number, int rank, const char* name) {
  PyArray_Descr* descr = PyArray_DescrFromType(type_number);
  const std::string wanted_dtype = descr ? dtype_text(descr) : "its element type";
  PyErr_Clear();
  std::string wanted = std::string(name) + " must be a NumPy array of " + wanted_dtype;
  if (rank != kAnyRank) wanted += " with " + dimensions_text(rank);
  if (!PyArray_Check(object)) {
    Py_XDECREF(descr);
    std::string note = wanted + "; got " + type_name_text(object);
    if (array_like(object)) {
      note += ". numpy.asarray(" + std::string(name) + ", dtype=numpy." + wanted_dtype + ") makes an array of it";
    }
    return note;
  }
  auto* array = reinterpret_cast<PyArrayObject*>(object);
  const bool dtype_accepted = descr && PyArray_EquivTypes(PyArray_DESCR(array), descr);
  Py_XDECREF(descr);
  std::string given = dtype_text(PyArray_DESCR(array)) + " with " + dimensions_text(PyArray_NDIM(array));
  if (!PyArray_CheckExact(object)) given = type_name_text(object) + " of " + given;
  return wanted + "; got " + given + conversion_fix(array, dtype_accepted, rank, name, wanted_dtype);
}

PyObject* raise_not_convertible(PyObject* object) {
  PyObject* type_name = PyType_GetQualName(Py_TYPE(object));
  if (!type_name) return nullptr;
  PyErr_Format(PyExc_TypeError, "'%U' object cannot be converted to 'PyArray<T, D>'", type_name);
  Py_DECREF(type_name);
  return nullptr;
}

}  // namespace

PyArrayObject* extract_array(PyObject* object, int type_number, int rank, const char* name) {
  bool accepted = false;
  if (PyArray_Check(object)) {
    auto* array = reinterpret_cast<PyArrayObject*>(object);
    if (rank == kAnyRank || PyArray_NDIM(array) == rank) {
      PyArray_Descr* wanted = PyArray_DescrFromType(type_number);
      accepted = wanted && PyArray_EquivTypes(PyArray_DESCR(array), wanted);
      Py_XDECREF(wanted);
    }
  }
  if (accepted) return reinterpret_cast<PyArrayObject*>(object);
  // Described before raising: the description calls into Python.
  const std::string note = conversion_note(object, type_number, rank, name);
  raise_not_convertible(object);
  wrap_argument_error(name);
  add_note_to_raised(note);
  return nullptr;
}

bool require_c_contiguous(PyArrayObject* array, const char* name) {
  if (PyArray_FLAGS(array) & NPY_ARRAY_C_CONTIGUOUS) return true;
  raise_value_error(std::string(name) + " must be C-contiguous");
  add_note_to_raised(std::string(name) + " must be C-contiguous (row-major, no gaps between elements); got " +
                     layout_text(array) + ". numpy.ascontiguousarray(" + name + ") makes an accepted copy");
  return false;
}

bool require_aligned(PyArrayObject* array, const char* name) {
  auto address = reinterpret_cast<std::uintptr_t>(PyArray_DATA(array));
  if (address % static_cast<std::uintptr_t>(PyArray_ITEMSIZE(array)) == 0) return true;
  raise_value_error(std::string(name) + " must be aligned");
  const auto item = static_cast<std::uintptr_t>(PyArray_ITEMSIZE(array));
  add_note_to_raised(std::string(name) + "'s data must start at a multiple of " + std::to_string(item) +
                     " bytes (its element size); got an address " + std::to_string(address % item) +
                     " past such a multiple. " + name + ".copy() makes an aligned copy");
  return false;
}

bool contiguous_storage(PyArrayObject* array, const void** data, std::uint64_t* length, const char* name) {
  int flags = PyArray_FLAGS(array);
  bool contiguous = (flags & (NPY_ARRAY_C_CONTIGUOUS | NPY_ARRAY_F_CONTIGUOUS)) != 0;
  if (!contiguous || PyArray_DATA(array) == nullptr) {
    raise_value_error("Failed to extract contiguous slice from NumPy array");
    add_note_to_raised(std::string(name) + " must be a contiguous array with a data buffer; got " +
                       (contiguous ? "an array without a data buffer" : "a non-contiguous array of " +
                                                                             layout_text(array)));
    return false;
  }
  std::uint64_t product = 1;
  const npy_intp* dims = PyArray_DIMS(array);
  for (int axis = 0; axis < PyArray_NDIM(array); ++axis) product *= static_cast<std::uint64_t>(dims[axis]);
  *data = PyArray_DATA(array);
  *length = product;
  return true;
}

bool element_strides(PyArrayObject* array, std::int64_t* out, const char* name) {
  const npy_intp item = PyArray_ITEMSIZE(array);
  const npy_intp* strides = PyArray_STRIDES(array);
  for (int axis = 0; axis < PyArray_NDIM(array); ++axis) {
    if (strides[axis] % item != 0) {
      raise_value_error("Non-element-aligned NumPy stride");
      add_note_to_raised(std::string(name) + "'s strides must be whole multiples of its " + std::to_string(item) +
                         "-byte elements; got " + layout_text(array) +
                         ". numpy.ascontiguousarray(" + name + ") makes an accepted copy");
      return false;
    }
    out[axis] = static_cast<std::int64_t>(strides[axis] / item);
  }
  return true;
}

}  // namespace kavo_python
