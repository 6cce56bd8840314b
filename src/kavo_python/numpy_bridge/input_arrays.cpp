#include "kavo_python/numpy_bridge/input_arrays.h"

#include <string>

namespace kavo_python {
namespace {

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
  raise_not_convertible(object);
  wrap_argument_error(name);
  return nullptr;
}

bool require_c_contiguous(PyArrayObject* array, const char* name) {
  if (PyArray_FLAGS(array) & NPY_ARRAY_C_CONTIGUOUS) return true;
  raise_value_error(std::string(name) + " must be C-contiguous");
  return false;
}

bool require_aligned(PyArrayObject* array, const char* name) {
  auto address = reinterpret_cast<std::uintptr_t>(PyArray_DATA(array));
  if (address % static_cast<std::uintptr_t>(PyArray_ITEMSIZE(array)) == 0) return true;
  raise_value_error(std::string(name) + " must be aligned");
  return false;
}

bool contiguous_storage(PyArrayObject* array, const void** data, std::uint64_t* length) {
  int flags = PyArray_FLAGS(array);
  bool contiguous = (flags & (NPY_ARRAY_C_CONTIGUOUS | NPY_ARRAY_F_CONTIGUOUS)) != 0;
  if (!contiguous || PyArray_DATA(array) == nullptr) {
    raise_value_error("Failed to extract contiguous slice from NumPy array");
    return false;
  }
  std::uint64_t product = 1;
  const npy_intp* dims = PyArray_DIMS(array);
  for (int axis = 0; axis < PyArray_NDIM(array); ++axis) product *= static_cast<std::uint64_t>(dims[axis]);
  *data = PyArray_DATA(array);
  *length = product;
  return true;
}

bool element_strides(PyArrayObject* array, std::int64_t* out) {
  const npy_intp item = PyArray_ITEMSIZE(array);
  const npy_intp* strides = PyArray_STRIDES(array);
  for (int axis = 0; axis < PyArray_NDIM(array); ++axis) {
    if (strides[axis] % item != 0) {
      raise_value_error("Non-element-aligned NumPy stride");
      return false;
    }
    out[axis] = static_cast<std::int64_t>(strides[axis] / item);
  }
  return true;
}

}  // namespace kavo_python
