#include "kavo_python/numpy_bridge/output_arrays.h"

#include "platform/invariant_failure.h"

namespace kavo_python {
namespace {

// NumPy allocates its own memory for a null data pointer; an empty result
// points here instead so that every result's memory belongs to its keeper.
alignas(64) char empty_result_storage[64];

}  // namespace

PyObject* vector_over_keeper(void* data, std::uint64_t count, int item_size, int type_number, PyObject* keeper) {
  ensure_numpy_api();
  npy_intp dims[1] = {static_cast<npy_intp>(count)};
  npy_intp strides[1] = {item_size};
  PyArray_Descr* descr = PyArray_DescrFromType(type_number);  // taken over by NewFromDescr
  PyObject* array = descr ? PyArray_NewFromDescr(&PyArray_Type, descr, 1, dims, strides,
                                                 data ? data : empty_result_storage, NPY_ARRAY_WRITEABLE, nullptr)
                          : nullptr;
  if (!array) {
    Py_DECREF(keeper);
    // The array header itself may be what the system refused.
    if (PyErr_ExceptionMatches(PyExc_MemoryError)) return nullptr;
    PyErr_Print();
    platform::fail_invariant("Failed to create a NumPy array over a result buffer");
  }
  if (PyArray_SetBaseObject(reinterpret_cast<PyArrayObject*>(array), keeper) < 0) {  // takes keeper
    Py_DECREF(array);
    return nullptr;
  }
  return array;
}

PyObject* reshape_vector(PyObject* vector, const std::uint64_t* shape, int rank) {
  // The row-major view over the vector's memory, made directly: the same
  // array NumPy's reshape would give, without its general path.
  auto* source = reinterpret_cast<PyArrayObject*>(vector);
  PyArray_Descr* descr = PyArray_DESCR(source);
  npy_intp dims[NPY_MAXDIMS];
  npy_intp strides[NPY_MAXDIMS];
  npy_intp step = PyArray_ITEMSIZE(source);
  for (int axis = rank - 1; axis >= 0; --axis) {
    dims[axis] = static_cast<npy_intp>(shape[axis]);
    strides[axis] = step;
    step *= dims[axis] > 0 ? dims[axis] : 1;
  }
  Py_INCREF(descr);  // taken over by NewFromDescr
  PyObject* reshaped = PyArray_NewFromDescr(&PyArray_Type, descr, rank, dims, strides, PyArray_DATA(source),
                                            NPY_ARRAY_WRITEABLE, nullptr);
  if (!reshaped) {
    Py_DECREF(vector);
    return keep_or_raise_missing_exception();
  }
  // The vector becomes the result's base (its reference is taken over).
  if (PyArray_SetBaseObject(reinterpret_cast<PyArrayObject*>(reshaped), vector) < 0) {
    Py_DECREF(reshaped);
    return nullptr;
  }
  return reshaped;
}

}  // namespace kavo_python
