#pragma once
// Setting Python exceptions from the system's error values.

#include <string>

#include "kavo/error/array_error.h"
#include "kavo_python/python_headers.h"

namespace kavo_python {

// The error's Display text, raised as numpy.linalg.LinAlgError (a
// ValueError subclass) when it reports a numerical failure of a
// factorization, and as plain ValueError otherwise.
PyObject* raise_array_error(const kavo::ArrayError& error);
PyObject* raise_value_error(const std::string& message);
PyObject* raise_type_error(const std::string& message);

// True for the errors a well-formed input can still meet because of its
// values (a pivot that vanishes or turns non-positive, an iteration that
// does not converge, a breakdown), decided by the error's kind, never by
// its text. Argument, shape, non-finite-input, symmetry and overflow errors
// are not numerical failures.
bool is_numerical_failure(const kavo::ArrayError& error);

// Attaches `note` (PEP 678) to the exception currently raised; the
// exception's own text is unchanged. Nothing happens when none is raised,
// and a failure to attach leaves the original exception in place.
void add_note_to_raised(const std::string& note);

// For a C-API call that signalled failure: keeps the pending exception, or
// raises SystemError when the call set none.
PyObject* keep_or_raise_missing_exception();

}  // namespace kavo_python
