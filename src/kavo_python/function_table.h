#pragma once
// The module's functions in their published order, with docstrings whose
// first line is the signature CPython shows as __text_signature__.

#include <span>

#include "kavo_python/python_headers.h"

namespace kavo_python {

std::span<PyMethodDef> function_table();

}  // namespace kavo_python
