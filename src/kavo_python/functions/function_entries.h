#pragma once
// The module's functions: vectorcall entry points, one per entry of the
// list, defined one family per file in functions/.

#include "kavo_python/function_list.h"
#include "kavo_python/python_headers.h"

namespace kavo_python::entries {

#define KAVO_PYTHON_ENTRY(name, ...) PyObject* name(PyObject*, PyObject* const*, Py_ssize_t, PyObject*);
KAVO_PYTHON_FUNCTIONS(KAVO_PYTHON_ENTRY)
#undef KAVO_PYTHON_ENTRY

}  // namespace kavo_python::entries
