#pragma once
// Errors a call's arguments caused, raised with a note (PEP 678) that names
// what the function needs, the shapes of the arrays it was given and, when
// one is known, the call that fixes them; the error's own text is
// unchanged. Numerical failures of a factorization (LinAlgError) carry no
// note: the arguments had the right form, their values defeated the method.

#include <string>
#include <string_view>

#include "kavo/error/array_error.h"
#include "kavo_python/argument_parser.h"
#include "kavo_python/python_headers.h"

namespace kavo_python {

// Raises `error` as raise_array_error does, with the note; `fix` (a
// sentence) replaces the one the error's kind suggests, if any.
PyObject* raise_call_error(const Signature& signature, const ArgumentSlots& slots, const kavo::ArrayError& error,
                           std::string_view fix = {});

// ValueError `message` about shapes the module checks before computing,
// with the note of a shape error.
PyObject* raise_shape_error(const Signature& signature, const ArgumentSlots& slots, const std::string& message,
                            std::string_view fix = {});

}  // namespace kavo_python
