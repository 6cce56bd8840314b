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
  npy_intp dims[NPY_MAXDIMS];
  for (int axis = 0; axis < rank; ++axis) dims[axis] = static_cast<npy_intp>(shape[axis]);
  PyArray_Dims new_shape{dims, rank};
  PyObject* reshaped = PyArray_Newshape(reinterpret_cast<PyArrayObject*>(vector), &new_shape, NPY_ANYORDER);
  Py_DECREF(vector);  // the reshaped array holds it as its base
  return reshaped ? reshaped : keep_or_raise_missing_exception();
}

}  // namespace kavo_python
