#pragma once
// Setting Python exceptions from the system's error values.

#include <string>

#include "kavo/error/array_error.h"
#include "kavo_python/python_headers.h"

namespace kavo_python {

// ValueError carrying the error's Display text.
PyObject* raise_array_error(const kavo::ArrayError& error);
PyObject* raise_value_error(const std::string& message);
PyObject* raise_type_error(const std::string& message);

// For a C-API call that signalled failure: keeps the pending exception, or
// raises SystemError when the call set none.
PyObject* keep_or_raise_missing_exception();

}  // namespace kavo_python
