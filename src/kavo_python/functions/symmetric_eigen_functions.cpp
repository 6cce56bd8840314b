#include "kavo_python/functions/function_entries.h"
#include "kavo_python/signatures.h"
#include "kavo_python/unavailable_function.h"

namespace kavo_python::entries {

PyObject* symmetric_eigen(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return unavailable_function<signatures::symmetric_eigen, ArrayParameter<double, 2, 0>>(module, args, nargs, kwnames);
}

}  // namespace kavo_python::entries
