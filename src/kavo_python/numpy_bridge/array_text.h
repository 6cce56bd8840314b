#pragma once
// How arrays and other arguments are described in notes: as NumPy prints
// them. Each needs the interpreter lock and leaves no exception set.

#include <string>

#include "kavo_python/numpy_bridge/numpy_api.h"

namespace kavo_python {

// "float64", or NumPy's spelling of any other dtype ('>f8', 'int64').
std::string dtype_text(PyArray_Descr* descr);

// The qualified name of the object's type: "list", "MatrixSubclass".
std::string type_name_text(PyObject* object);

// "(3, 3)", "(4,)": a shape or byte strides as NumPy prints them.
std::string tuple_text(const npy_intp* values, int count);

// The array's shape as NumPy prints it.
std::string shape_text(PyArrayObject* array);

}  // namespace kavo_python
