#pragma once
// NumPy's C API, reached through the array API capsule of NumPy's
// multiarray module. Every translation unit includes NumPy through this
// header; numpy_api.cpp owns the table.

#include "kavo_python/python_headers.h"

#define PY_ARRAY_UNIQUE_SYMBOL kavo_python_numpy_api
#ifndef KAVO_PYTHON_OWNS_NUMPY_API
#define NO_IMPORT_ARRAY
#endif
#include <numpy/arrayobject.h>

#include <complex>
#include <cstdint>

namespace kavo_python {

// Imports the API table on first use (needs the interpreter lock). Failure
// is an internal invariant failure: the module cannot work without NumPy.
void ensure_numpy_api();

template <class T>
struct NumpyType;
template <>
struct NumpyType<float> {
  static constexpr int number = NPY_FLOAT32;
};
template <>
struct NumpyType<double> {
  static constexpr int number = NPY_FLOAT64;
};
template <>
struct NumpyType<std::uint64_t> {
  static constexpr int number = NPY_UINT64;
};
template <>
struct NumpyType<std::complex<double>> {
  static constexpr int number = NPY_COMPLEX128;
};

}  // namespace kavo_python
