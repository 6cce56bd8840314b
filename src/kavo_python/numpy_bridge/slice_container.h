#pragma once
// The keeper: a small Python object that owns a result buffer and is the
// base object of the NumPy array over it, so NumPy uses the memory without a
// copy and the buffer is released when the last array over it goes.

#include <cstddef>

#include "kavo_python/python_headers.h"

namespace kavo_python {

using ReleaseRoutine = void (*)(void*);

// New keeper of `data` (which it releases with `release`); an internal
// invariant failure if the object cannot be created, with `data` released.
PyObject* new_slice_container(void* data, std::size_t length, std::size_t capacity, ReleaseRoutine release);

}  // namespace kavo_python
