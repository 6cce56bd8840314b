#include "kavo_python/numpy_bridge/input_arrays.h"

#include <string>

namespace kavo_python {
namespace {

std::string dimensions_text(int rank) {
  return std::to_string(rank) + (rank == 1 ? " dimension" : " dimensions");
}

// "float64", or NumPy's spelling of any other dtype ('>f8', 'int64').
std::string dtype_text(PyArray_Descr* descr) {
  std::string out = "an unnamed dtype";
  if (PyObject* text = PyObject_Str(reinterpret_cast<PyObject*>(descr))) {
    if (const char* utf8 = PyUnicode_AsUTF8(text)) out = utf8;
    Py_DECREF(text);
  }
  PyErr_Clear();
  return out;
}

std::string type_name_text(PyObject* object) {
  std::string out = "an object of unknown type";
  if (PyObject* name = PyType_GetQualName(Py_TYPE(object))) {
    if (const char* utf8 = PyUnicode_AsUTF8(name)) out = utf8;
    Py_DECREF(name);
  }
  PyErr_Clear();
  return out;
}

// "(3, 3)": a shape or byte strides as NumPy prints them.
std::string tuple_text(const npy_intp* values, int count) {
  std::string out = "(";
  for (int i = 0; i < count; ++i) {
    if (i > 0) out += ", ";
    out += std::to_string(values[i]);
  }
  return out + (count == 1 ? ",)" : ")");
}

std::string layout_text(PyArrayObject* array) {
  const int rank = PyArray_NDIM(array);
  return "shape " + tuple_text(PyArray_DIMS(array), rank) + " with byte strides " +
         tuple_text(PyArray_STRIDES(array), rank);
}

// What extract_array wanted, against what it was given.
std::string conversion_note(PyObject* object, int type_number, int rank, const char* name) {
  std::string wanted = std::string(name) + " must be a NumPy array of ";
  PyArray_Descr* descr = PyArray_DescrFromType(type_number);
  wanted += descr ? dtype_text(descr) : "its element type";
  Py_XDECREF(descr);
  PyErr_Clear();
  if (rank != kAnyRank) wanted += " with " + dimensions_text(rank);
  if (!PyArray_Check(object)) return wanted + "; got " + type_name_text(object);
  auto* array = reinterpret_cast<PyArrayObject*>(object);
  std::string given = dtype_text(PyArray_DESCR(array)) + " with " + dimensions_text(PyArray_NDIM(array));
  if (!PyArray_CheckExact(object)) given = type_name_text(object) + " of " + given;
  return wanted + "; got " + given;
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
